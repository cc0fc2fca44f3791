#include "db/storage/pages/memory_page_manager.h"

#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_errors.h"

namespace kelvorin {

TABSMemoryPageManager::TABSMemoryPageManager() : TABSPageManager(kPageSize, 0) {}

TABSMemoryPageManager::~TABSMemoryPageManager() { DiscardAll(); }

void TABSMemoryPageManager::AllocatePageNumber(TABSPage& page) {
  page.AllocateBuffer();
  size_t page_no = 0;
  while (page_no < used_.size() && used_[page_no]) ++page_no;
  if (page_no == used_.size()) {
    used_.push_back(false);
    pages_.emplace_back();
  }
  used_[page_no] = true;
  page.SetPageNo(static_cast<int32_t>(page_no));
}

void TABSMemoryPageManager::FreePageNumber(int32_t page_no) {
  if (page_no < 0 || static_cast<size_t>(page_no) >= used_.size()) {
    throw EABSException(page_errors::kInvalidPageNumber, "Invalid page number");
  }
  used_[static_cast<size_t>(page_no)] = false;
  pages_[static_cast<size_t>(page_no)].Free();
}

void TABSMemoryPageManager::ReadPage(TABSPage& page) {
  const int32_t page_no = page.PageNo();
  if (page_no < 0 || static_cast<size_t>(page_no) >= pages_.size() || pages_[static_cast<size_t>(page_no)].empty()) {
    throw EABSException(page_errors::kInvalidPageNumber, "Invalid page number");
  }
  if (!page.HasBuffer()) page.AllocateBuffer();
  std::memcpy(page.Buffer(), pages_[static_cast<size_t>(page_no)].data(), kPageSize);
}

void TABSMemoryPageManager::WritePage(TABSPage& page) {
  TABSMemoryBlock& image = pages_.at(static_cast<size_t>(page.PageNo()));
  if (image.empty()) image.Allocate(kPageSize);
  std::memcpy(image.data(), page.Buffer(), kPageSize);
}

}  // namespace kelvorin
