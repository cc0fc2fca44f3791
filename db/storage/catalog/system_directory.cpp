#include "db/storage/catalog/system_directory.h"

#include "db/storage/catalog/catalog_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

void TABSSystemDirectory::Create(int32_t session) {
  file_.Create(session);
  if (file_.StartPage() != kPageNo) {
    const int32_t real = file_.StartPage();
    file_.Close();
    throw EABSException(native::kErrorCreatingSystemDirectory30392, {kPageNo, real});
  }
  entries_.clear();
}

void TABSSystemDirectory::Open(int32_t session) {
  file_.Open(kPageNo);
  try {
    int32_t size = 0;
    const TABSMemoryBlock content = file_.ReadAll(session, &size);
    if (size % kEntrySize != 0) throw EABSException(native::kInvalidSystemDirectorySize, {size});
    std::vector<Entry> entries;
    for (int32_t at = 0; at < size; at += kEntrySize) {
      entries.push_back({content.bytes()[at], LoadI32(content.bytes() + at + 1)});
    }
    entries_ = std::move(entries);
  } catch (...) {
    file_.Close();
    throw;
  }
}

int32_t TABSSystemDirectory::Find(uint8_t kind) const {
  for (const Entry& entry : entries_) {
    if (entry.kind == kind) return entry.start_page;
  }
  return -1;
}

void TABSSystemDirectory::Write(int32_t session) {
  std::vector<uint8_t> content(entries_.size() * kEntrySize);
  for (size_t i = 0; i < entries_.size(); ++i) {
    content[i * kEntrySize] = entries_[i].kind;
    StoreI32(content.data() + i * kEntrySize + 1, entries_[i].start_page);
  }
  file_.WriteFile(session, content.data(), static_cast<int32_t>(content.size()), 0, 0);
}

}  // namespace kelvorin
