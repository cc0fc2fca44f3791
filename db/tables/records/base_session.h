// TABSBaseSession: what every kind of database object knows of a session
// that uses it: the session number it handed out (-1 until connected) and
// the mode the session asks for. Whether the session is in an explicit
// transaction is kept by the database, per session number
// (TABSDatabaseData::InTransaction): single-user sessions share one.
#pragma once

#include <cstdint>

namespace kelvorin {

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

 private:
  int32_t session_number_ = -1;
  bool multi_user_ = false;
  bool exclusive_ = false;
  bool needs_repair_ = false;
};

}  // namespace kelvorin
