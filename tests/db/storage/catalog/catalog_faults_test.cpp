// Catalogue changes are all or nothing: a write that fails, or memory that
// runs out, at any point of creating, deleting, renaming or emptying a table
// (its commit included) leaves the table list in memory equal to the file, the files and pages as
// they were, nothing held, and a file the checker finds clean.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/db/storage/catalog/catalog_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin {
namespace {

using testing::Field;
using testing::WriteFaults;

class CatalogFaultTest : public testing::CatalogTest {
 protected:
  struct Operation {
    std::string name;
    std::function<void()> run;
    // The table list once the operation succeeded.
    std::vector<std::string> names_after;
  };

  void SetUp() override {
    CatalogTest::SetUp();
    CreateAndOpen();
    CreateTournamentTables();
    Close();
    base_ = ReadAll(Path());
  }

  void CreatePictures() {
    CreateTable("obrazky", {Field("id", TABSColumnType::Integer), Field("foto", TABSColumnType::Blob)}, {"id"});
  }

  // The change counter of `param` as its file has it.
  int32_t ParamChangeCounter() {
    TABSCursor cursor(*session_, "param");
    const int32_t counter = db_->OpenTable(cursor)->ChangeCounter();
    db_->CloseTable(cursor);
    return counter;
  }
  // The list as another user of the file reads it.
  std::vector<std::string> NamesOnFile() {
    TABSDiskDatabaseData reader(Path(), {});
    TABSBaseSession session;
    const TABSSessionConnection connection(reader, session);
    EXPECT_TRUE(reader.ReadOnly());
    return reader.GetTableNames();
  }

  enum class Fault { kWrite, kMemory };

  // Runs the operation with the n-th write failing, or with n kilobytes of
  // memory left, for n = 1, 2, ... until it succeeds.
  void RunWithFaults(const Operation& op, Fault fault) {
    const std::vector<std::string> names_before = {"hraci", "seskupeni", "param"};
    for (int n = 1;; ++n) {
      SCOPED_TRACE(op.name + (fault == Fault::kWrite ? ", write " : ", KiB left: ") + std::to_string(n));
      WriteAll(Path(), base_);
      Open();
      bool failed = false;
      {
        WriteFaults faults(Path(), WriteFaults::Scope::kFileAndJournal);
        if (fault == Fault::kWrite) faults.fail_at = n;
        if (fault == Fault::kMemory) MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + 1024 * n);
        try {
          op.run();
        } catch (const EABSException& e) {
          failed = true;
          // Memory running out inside a library is reported as that step's failure.
          if (fault == Fault::kWrite) {
            EXPECT_EQ(e.NativeError(), 99999) << e.what();
          }
        }
        MemoryManager().SetMemoryLimit(0);
      }
      const std::vector<std::string>& expected = failed ? names_before : op.names_after;
      EXPECT_EQ(db_->GetTableNames(), expected) << "memory";
      EXPECT_EQ(NamesOnFile(), expected) << "file";
      EXPECT_EQ(ParamChangeCounter(), failed || op.name != "empty" ? 0 : 1);
      EXPECT_FALSE(db_->DiskPageManager().TableListLocked());
      EXPECT_EQ(db_->DiskPageManager().DirtyPageCount(kSystemSessionId), 0);
      EXPECT_EQ(db_->DiskPageManager().DirtyPageCount(0), 0);
      EXPECT_EQ(db_->FindTableObject("param"), nullptr);
      ExpectCatalogueCleanAfterClose();
      Open();
      EXPECT_EQ(db_->GetTableNames(), expected) << "reopened";
      Close();
      if (!failed) break;
    }
  }

  std::vector<uint8_t> base_;
};

TEST_F(CatalogFaultTest, CreateTable) {
  const Operation create{"create", [this] { CreatePictures(); }, {"hraci", "seskupeni", "param", "obrazky"}};
  RunWithFaults(create, Fault::kWrite);
  RunWithFaults(create, Fault::kMemory);
}

TEST_F(CatalogFaultTest, DeleteTable) {
  const Operation drop{"delete", [this] { db_->DeleteTable(*session_, "seskupeni"); }, {"hraci", "param"}};
  RunWithFaults(drop, Fault::kWrite);
  RunWithFaults(drop, Fault::kMemory);
}

TEST_F(CatalogFaultTest, RenameTable) {
  const Operation rename{"rename", [this] { db_->RenameTable(*session_, "hraci", "hraci_2024"); },
                         {"hraci_2024", "seskupeni", "param"}};
  RunWithFaults(rename, Fault::kWrite);
  RunWithFaults(rename, Fault::kMemory);
}

TEST_F(CatalogFaultTest, EmptyTable) {
  const Operation empty{"empty",
                        [this] {
                          TABSCursor cursor(*session_, "param");
                          db_->EmptyTable(cursor);
                        },
                        {"hraci", "seskupeni", "param"}};
  RunWithFaults(empty, Fault::kWrite);
  RunWithFaults(empty, Fault::kMemory);
}

}  // namespace
}  // namespace kelvorin

namespace kelvorin {
namespace {

// Creating a database that fails at any write leaves no file behind.
TEST_F(CatalogFaultTest, CreateDatabase) {
  const std::string path = Path("new");
  for (int n = 1;; ++n) {
    SCOPED_TRACE("write " + std::to_string(n) + " fails");
    bool failed = false;
    {
      testing::WriteFaults faults(path, testing::WriteFaults::Scope::kFileAndJournal);
      faults.fail_at = n;
      try {
        TABSDiskDatabaseData::CreateDatabase(path, {});
      } catch (const EABSException& e) {
        failed = true;
        EXPECT_EQ(e.NativeError(), 99999) << e.what();
      }
    }
    EXPECT_EQ(std::filesystem::exists(path), !failed);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    if (!failed) {
      ExpectCatalogueClean(path);
      break;
    }
  }
}

}  // namespace
}  // namespace kelvorin
