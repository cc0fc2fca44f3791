// TABSBaseSession: what every kind of database object knows of a session
// that uses it: the session number it handed out (-1 until connected), the
// mode the session asks for and the session's sequence values.
//
// Whether a session is inside an explicit transaction is kept by the open
// database per session number (TABSDatabaseData::InTransaction): sessions
// of one process in single-user mode share session number 0, and so share
// one transaction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvorin {

// The last value a session took from a sequence: an auto-increment field's
// numbering (keyed by the field's object number) or a named sequence (object
// number -1, keyed by its name compared upper-cased).
struct TABSSessionNamedObjectSequenceValue {
  int32_t object_id = -1;
  std::string name;
  int64_t value = 0;
};

class TABSBaseSession {
 public:
  TABSBaseSession() = default;
  TABSBaseSession(bool multi_user, bool exclusive) : multi_user_(multi_user), exclusive_(exclusive) {}
  virtual ~TABSBaseSession() = default;
  TABSBaseSession(const TABSBaseSession&) = delete;
  TABSBaseSession& operator=(const TABSBaseSession&) = delete;

  int32_t SessionNumber() const { return session_number_; }
  void SetSessionNumber(int32_t number) { session_number_ = number; }

  // The mode the session uses the database in: every session of a database
  // must ask for the mode of the first one.
  bool MultiUser() const { return multi_user_; }
  bool Exclusive() const { return exclusive_; }
  // Set when connecting opened a file whose last commit was interrupted or
  // whose format is old.
  bool NeedsRepair() const { return needs_repair_; }
  void SetNeedsRepair(bool value) { needs_repair_ = value; }

  // Replaces the entry of the same key (object number, or for -1 the name).
  void StoreSequenceValue(int32_t object_id, std::string_view name, int64_t value);
  // The first entry with the object number, or none.
  const TABSSessionNamedObjectSequenceValue* FindSequenceValue(int32_t object_id) const;
  const TABSSessionNamedObjectSequenceValue* FindSequenceValueByName(std::string_view name) const;

 private:
  int32_t session_number_ = -1;
  bool multi_user_ = false;
  bool exclusive_ = false;
  bool needs_repair_ = false;
  std::vector<TABSSessionNamedObjectSequenceValue> sequence_values_;
};

}  // namespace kelvorin
