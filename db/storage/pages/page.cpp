#include "db/storage/pages/page.h"

#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_errors.h"
#include "db/storage/pages/page_manager.h"

namespace kelvorin {

int32_t TABSPage::PageSize() const { return manager_->PageSize(); }
int32_t TABSPage::PageHeaderSize() const { return manager_->PageHeaderSize(); }

void TABSPage::AllocateBuffer() {
  buffer_.Allocate(PageSize(), true);
  if (PageHeaderSize() == kPageHeaderSize) InitPageHeader(Buffer());
}

void TABSPage::GrowBuffer(int64_t new_size) {
  if (buffer_.empty()) throw EABSException(page_errors::kBufferNil, "Invalid page buffer. Buffer is Nil");
  if (new_size < PageSize()) throw EABSException(page_errors::kBadModification, "Invalid page modification");
  buffer_.Resize(new_size, true);
}

}  // namespace kelvorin
