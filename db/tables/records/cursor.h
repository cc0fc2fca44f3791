// TABSCursor: what a table object knows of a cursor open on it: its session,
// the table it names and whether it asks for the table exclusively. The
// cursor layer derives its cursors from it and adds the restrictions and
// positions that scans read.
#pragma once

#include <string>
#include <utility>

#include "db/tables/records/base_session.h"

namespace kelvorin {

class TABSTableData;

class TABSCursor {
 public:
  TABSCursor(TABSBaseSession& session, std::string table_name, bool exclusive = false)
      : session_(&session), table_name_(std::move(table_name)), exclusive_(exclusive) {}
  virtual ~TABSCursor() = default;
  TABSCursor(const TABSCursor&) = delete;
  TABSCursor& operator=(const TABSCursor&) = delete;

  TABSBaseSession& Session() const { return *session_; }
  int32_t SessionNumber() const { return session_->SessionNumber(); }
  const std::string& TableName() const { return table_name_; }
  bool Exclusive() const { return exclusive_; }
  // The table object while the cursor has the table open.
  TABSTableData* Table() const { return table_; }
  void SetTable(TABSTableData* table) { table_ = table; }

 private:
  TABSBaseSession* session_;
  std::string table_name_;
  bool exclusive_;
  TABSTableData* table_ = nullptr;
};

}  // namespace kelvorin
