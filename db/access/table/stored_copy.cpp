#include "db/access/table/stored_copy.h"

#include <algorithm>

#include "db/access/dataset/engine_error.h"
#include "db/access/table/record_copy.h"
#include "db/storage/blobs/blob_manager.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/records/table_post.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {
namespace {

constexpr const char* kLineEnd = "\r\n";

// A value that does not convert or does not fit its field.
bool IgnorableFieldError(const std::exception& error) {
  const auto* engine = dynamic_cast<const EABSException*>(&error);
  if (engine == nullptr) return false;
  switch (engine->NativeError()) {
    case 20056:  // buffer size exceeded: a string or bytes too long
    case 30051:  // a conversion failed (out of range, not a number)
    case 30052:  // no conversion between the types
      return true;
    default:
      return false;
  }
}

// A record refused by a key or a constraint.
bool IgnorableRecordError(const std::exception& error) {
  const auto* engine = dynamic_cast<const EABSEngineError*>(&error);
  return engine != nullptr && engine->ErrorCode() == static_cast<int32_t>(TABSPostCode::kConstraintViolated);
}

// The source's BLOB descriptors are let go whenever the record is left.
class SourceRecord {
 public:
  explicit SourceRecord(TABSLocalCursor& cursor) : cursor_(cursor), buffer_(cursor.NewRecordBuffer()) {}
  ~SourceRecord() { Release(); }
  SourceRecord(const SourceRecord&) = delete;
  SourceRecord& operator=(const SourceRecord&) = delete;
  uint8_t* Data() { return buffer_.data(); }
  bool Next(bool first) {
    Release();
    return cursor_.GetRecord(buffer_.data(), first ? TABSGetRecordMode::kFirst : TABSGetRecordMode::kNext) ==
           TABSGetRecordResult::kFound;
  }
  void Release() noexcept {
    if (TABSBlobManager* blobs = cursor_.OpenTable().BlobManager()) blobs->ReleaseDescriptors(buffer_.data());
  }

 private:
  TABSLocalCursor& cursor_;
  std::vector<uint8_t> buffer_;
};

}  // namespace

void TABSCopyMessages::Add(const std::string& message) {
  if (count_ < kLimit) text_ += message;
  ++count_;
}

std::string TABSCopyMessages::Text() const {
  if (count_ <= kLimit) return text_;
  return text_ + "... and " + std::to_string(count_ - kLimit) + " more messages" + kLineEnd;
}

int64_t CopyProgressStep(int64_t count, int32_t start, int32_t end) {
  if (end <= start) return 1;
  return std::max<int64_t>(1, std::max<int64_t>(count, 0) / (int64_t{end} - start) + 1);
}

bool CopyStoredRecords(TABSLocalCursor& source, TABSHiddenTable& destination, const TABSRecordMap& map,
                       const TABSStoredCopyRequest& request, bool& continue_flag, TABSCopyMessages& messages) {
  const int32_t start = request.progress_start;
  const int32_t end = std::max(request.progress_start, request.progress_end);
  TABSTableData& from = source.OpenTable();
  TABSTableData& to = destination.Table();
  const int32_t session = source.LocalSession().SessionNumber();
  const int64_t count = source.RecordCount();
  const int64_t step = CopyProgressStep(count, start, end);
  // A refused record fails the whole copy, so a post needs no way back of
  // its own.
  destination.AllOrNothing();
  SourceRecord record(source);
  bool result = true;
  int64_t n = 1;
  for (bool more = record.Next(true); more; more = record.Next(false)) {
    uint8_t* target = destination.NewRecord();
    int64_t blob_bytes = 0;
    const auto on_field_error = [&](const std::string& field, const std::exception& error) {
      messages.Add("Error copying table. Record #" + std::to_string(n) + ", field '" + field +
                   "' was copied with Null value due to error: " + error.what() + kLineEnd);
      if (!request.ignore_errors || !IgnorableFieldError(error)) throw;
      result = false;
    };
    map.Copy(from, session, record.Data(), to, target, on_field_error);
    for (const int32_t field : to.RecordFields().BlobFields()) {
      if (!TABSRecordFields::IsNull(target, field)) blob_bytes += to.RecordFields().Field(field).memory_size;
    }
    try {
      destination.Append(blob_bytes);
    } catch (const std::exception& error) {
      messages.Add("Error copying table. Record #" + std::to_string(n) + " was not imported due to error: " +
                   error.what() + kLineEnd + kLineEnd);
      if (!request.ignore_errors || !IgnorableRecordError(error)) throw;
      return false;
    }
    if (TABSBlobManager* blobs = to.BlobManager()) blobs->ReleaseDescriptors(target);
    ++n;
    if ((n - 2) % step == 0) {
      const int32_t percent = std::clamp(CopyProgress(n - 1, count, start, end), start, end);
      if (request.progress) request.progress(percent, continue_flag);
      if (!continue_flag) {
        messages.Add(std::string("Terminated by User.") + kLineEnd);
        return false;
      }
    }
  }
  return result;
}

std::vector<int64_t> AutoIncFloors(const TABSTableData& source, const TABSTableData& destination,
                                   const TABSRecordMap& map) {
  const TABSFieldDefs& fields = destination.Metadata().Fields();
  std::vector<int64_t> floors(static_cast<size_t>(fields.Count()), 0);
  const std::vector<int64_t>& last = source.State().autoinc_values;
  for (int32_t i = 0; i < fields.Count(); ++i) {
    const int32_t from = map.SourceOf(i);
    if (from < 0 || static_cast<size_t>(from) >= last.size()) continue;
    if (IsAutoIncColumn(fields.Items(i)->ColumnType())) floors[static_cast<size_t>(i)] = last[static_cast<size_t>(from)];
  }
  return floors;
}

}  // namespace kelvorin
