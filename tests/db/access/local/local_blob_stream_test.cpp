// The cursor's BLOB streams: values of every size through a stream, the
// read-only mode, one reader per field, and streams detached when the
// record they belong to is left.
#include "db/access/local/access_errors.h"
#include "tests/db/access/local/local_test_util.h"

namespace kelvorin::testing {
namespace {

class BlobStreamTest : public LocalAccessTest {
 protected:
  void SetUp() override {
    LocalAccessTest::SetUp();
    session_ = NewSession(list_, false);
    cursor_ = OpenCursor(*session_);
    foto_ = FieldNo(*cursor_, "Foto");
  }
  void TearDown() override {
    cursor_.reset();
    LocalAccessTest::TearDown();
  }

  std::string ReadAll(std::vector<uint8_t>& buffer) {
    auto stream = cursor_->OpenBlob(buffer.data(), foto_, TABSBlobStreamMode::kRead);
    std::string bytes(static_cast<size_t>(stream->Size()), '\0');
    EXPECT_EQ(stream->Read(bytes.data(), static_cast<int64_t>(bytes.size())), static_cast<int64_t>(bytes.size()));
    return bytes;
  }

  TABSLocalSession* session_ = nullptr;
  std::unique_ptr<TABSLocalCursor> cursor_;
  int32_t foto_ = -1;
};

TEST_F(BlobStreamTest, ValuesOfEverySizeAndTheEmptyOneBecomingNull) {
  for (const int64_t size : {int64_t{0}, int64_t{1}, int64_t{4031}, int64_t{4032}, int64_t{100000}}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> buffer = Insert(*cursor_, "B" + std::to_string(size), 0);
    ASSERT_TRUE(cursor_->BeginEdit(buffer.data()));
    std::string value(static_cast<size_t>(size), '\0');
    for (int64_t i = 0; i < size; ++i) value[static_cast<size_t>(i)] = static_cast<char>('a' + i % 23);
    {
      auto stream = cursor_->OpenBlob(buffer.data(), foto_, TABSBlobStreamMode::kWrite);
      EXPECT_EQ(stream->Write(value.data(), size), size);
    }
    ASSERT_TRUE(cursor_->Post(buffer.data(), false)) << cursor_->Status();
    std::vector<uint8_t> read = cursor_->NewRecordBuffer();
    ASSERT_EQ(cursor_->GetRecord(read.data(), TABSGetRecordMode::kCurrent), TABSGetRecordResult::kFound);
    if (size == 0) {
      EXPECT_EQ(Get(*cursor_, read, "Foto"), "NULL");
    } else {
      EXPECT_EQ(ReadAll(read), value);
    }
    cursor_->OpenTable().BlobManager()->ReleaseDescriptors(read.data());
    cursor_->OpenTable().BlobManager()->ReleaseDescriptors(buffer.data());
  }
  ExpectClean(Path());
}

TEST_F(BlobStreamTest, ReadModeOneReaderPerFieldAndFieldNumbers) {
  std::vector<uint8_t> buffer = Insert(*cursor_, "Novak", 0);
  auto reader = cursor_->OpenBlob(buffer.data(), foto_, TABSBlobStreamMode::kRead);
  struct Case {
    const char* what;
    std::function<void()> run;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {"write in read mode", [&] { reader->Write("x", 1); }, 10115},
      {"resize in read mode", [&] { reader->SetSize(3); }, 10116},
      {"a second reader", [&] { cursor_->OpenBlob(buffer.data(), foto_, TABSBlobStreamMode::kReadWrite); }, 10115},
      {"a field beyond the count", [&] { cursor_->OpenBlob(buffer.data(), 9, TABSBlobStreamMode::kRead); },
       native::kBlobFieldNumber.code},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorCode(c.run), c.code) << c.what;
  EXPECT_NE(cursor_->OpenBlob(buffer.data(), foto_, TABSBlobStreamMode::kWrite), nullptr) << "a writer may join";
  reader->Close();
  EXPECT_NE(cursor_->OpenBlob(buffer.data(), foto_, TABSBlobStreamMode::kRead), nullptr);
  cursor_->OpenTable().BlobManager()->ReleaseDescriptors(buffer.data());
}

TEST_F(BlobStreamTest, LeavingTheRecordDetachesItsStreams) {
  std::vector<uint8_t> first = Insert(*cursor_, "Novak", 0);
  Insert(*cursor_, "Dvorak", 0);
  ASSERT_TRUE(cursor_->BeginEdit(first.data()));
  {
    auto writer = cursor_->OpenBlob(first.data(), foto_, TABSBlobStreamMode::kWrite);
    EXPECT_EQ(writer->Write("abc", 3), 3);
    cursor_->Cancel(first.data(), false);
    EXPECT_FALSE(writer->Attached());
    EXPECT_EQ(writer->Write("def", 3), 0) << "a detached stream writes nowhere";
  }
  EXPECT_EQ(Get(*cursor_, first, "Foto"), "NULL") << "a cancelled write leaves the field as it was";

  // Navigation detaches too: the writer cannot reach the next record.
  std::vector<uint8_t> buffer = FirstRecord(*cursor_);
  ASSERT_TRUE(cursor_->BeginEdit(buffer.data()));
  auto writer = cursor_->OpenBlob(buffer.data(), foto_, TABSBlobStreamMode::kWrite);
  cursor_->Cancel(buffer.data(), false);
  ASSERT_EQ(cursor_->GetRecord(buffer.data(), TABSGetRecordMode::kNext), TABSGetRecordResult::kFound);
  EXPECT_EQ(writer->Write("xyz", 3), 0);
  writer.reset();
  EXPECT_EQ(Get(*cursor_, buffer, "Foto"), "NULL");
  EXPECT_EQ(cursor_->OpenBlobCount(), 0);

  // Closing the cursor leaves a handle that outlives it harmless.
  auto reader = cursor_->OpenBlob(buffer.data(), foto_, TABSBlobStreamMode::kRead);
  cursor_->Close();
  EXPECT_FALSE(reader->Attached());
  EXPECT_EQ(reader->Size(), 0);
}

}  // namespace
}  // namespace kelvorin::testing
