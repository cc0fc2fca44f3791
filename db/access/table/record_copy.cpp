#include "db/access/table/record_copy.h"

#include <cmath>
#include <cstdlib>

#include "db/access/table/table.h"

namespace kelvorin {
namespace {

constexpr const char* kLineEnd = "\r\n";

}  // namespace

int32_t CopyProgress(int64_t copied, int64_t count, int32_t start, int32_t end) {
  if (count <= 0) return start;
  const double share = static_cast<double>(copied) * static_cast<double>(end - start) / static_cast<double>(count);
  return static_cast<int32_t>(std::nearbyint(share)) + start;
}

bool CopyRecords(TDataSet& source, TABSTable& destination, const TABSRecordCopyRequest& request,
                 bool& continue_flag, std::string& error_text) {
  const int32_t start = request.progress_start;
  const int32_t end = request.progress_end;
  source.CheckBrowseMode();
  int64_t n = 1;
  source.Refresh();
  const int64_t count = source.RecordCount();
  // A range may run backwards (a display counting down): its width is what
  // spaces the reports, never a step of 0 or below.
  const int64_t width = std::abs(static_cast<int64_t>(end) - start);
  const int64_t step = width == 0 ? 1 : count / width + 1;
  const TBookmark position = source.GetBookmark();
  source.First();
  bool result = true;
  while (!source.Eof()) {
    destination.Insert();
    for (int32_t i = 0; i < source.FieldCount(); ++i) {
      TField& from = source.Fields(i);
      if (destination.FieldDefs().IndexOf(from.FieldName()) < 0) continue;
      TField* to = destination.FindField(from.FieldName());
      if (to == nullptr) continue;
      try {
        to->SetValue(from.Value());
      } catch (const std::exception& error) {
        error_text += "Error copying table. Record #" + std::to_string(n) + ", field '" + from.FieldName() +
                      "' was copied with Null value due to error: " + error.what() + kLineEnd;
        try {
          to->Clear();
        } catch (...) {
        }
        if (!request.ignore_errors) throw;
        result = false;
      }
    }
    try {
      destination.Post();
    } catch (const std::exception& error) {
      error_text += "Error copying table. Record #" + std::to_string(n) + " was not imported due to error: " +
                    error.what() + kLineEnd + kLineEnd;
      if (!request.ignore_errors) throw;
      result = false;
      destination.Cancel();
    }
    ++n;
    source.Next();
    if ((n - 2) % step == 0) {
      const int32_t percent = CopyProgress(n - 1, count, start, end);
      if (request.progress) request.progress(source, percent, continue_flag);
      if (!continue_flag) {
        error_text += std::string("Terminated by User.") + kLineEnd;
        result = false;
        break;
      }
    }
  }
  if (source.BookmarkValid(position)) source.GotoBookmark(position);
  return result;
}

}  // namespace kelvorin
