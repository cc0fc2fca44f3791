// TABSActiveSessionsFile: the database's sessions file, a direct-access
// internal file with one byte per allowed connection. A connection slot is
// taken while its byte is locked; the file's own lock (its first page's
// first byte) serialises every change of the slots between processes.
//
// In multi-user mode each session takes one slot; in single-user mode the
// first session of a process locks every slot, so that a second process
// sees the database in use. Nothing is changed without the file lock, but a
// slot is given back even when the file lock cannot be had.
#pragma once

#include <cstdint>

#include "db/storage/catalog/direct_file.h"

namespace kelvorin {

class TABSActiveSessionsFile {
 public:
  // Connection counts a file may have: at least one slot, and no more than
  // the connection numbers the table locks can address.
  static constexpr int32_t kMaxConnections = 32767;

  explicit TABSActiveSessionsFile(TABSDiskPageManager& manager) : file_(manager, ptActiveSessionList) {}

  TABSInternalDBDirectAccessFile& File() { return file_; }
  int32_t StartPage() const { return file_.StartPage(); }
  int32_t MaxConnections() const { return max_connections_; }

  // Raises for a count outside 1..kMaxConnections.
  static void CheckConnectionCount(int32_t max_connections);

  void Create(int32_t max_connections);
  void Open(int32_t start_page);
  void Close() {
    file_.Close();
    max_connections_ = 0;
  }

  // Takes the first free slot and keeps its byte locked; the slot number.
  int32_t Connect();
  void Disconnect(int32_t slot);
  // Whether anyone (this open included) holds the slot's byte.
  bool IsSlotTaken(int32_t slot) { return file_.IsByteLocked(slot); }
  // Locks every slot unless another process holds one.
  bool LockSingleUser();
  void UnlockSingleUser();

 private:
  // Holds the file lock for one change of the slots.
  class FileLock;

  TABSInternalDBDirectAccessFile file_;
  int32_t max_connections_ = 0;
};

}  // namespace kelvorin
