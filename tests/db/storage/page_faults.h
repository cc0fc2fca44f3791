// A page observer for the tests: fails one page operation of the page
// managers (a get, an add or a removal), counted from the first operation,
// or from the first get of a chosen page (the root of a tree: every change
// of a tree starts there), and says what it failed.
#pragma once

#include <cstdint>
#include <optional>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_manager.h"

namespace kelvorin::testing {

class PageFaults : public TABSPageObserver {
 public:
  static constexpr int32_t kInjected = 99999;

  // `from_page` -1: counted from the first operation.
  PageFaults(int32_t fail_at, int32_t from_page = -1)
      : fail_at_(fail_at), from_page_(from_page), started_(from_page < 0) {
    SetPageObserver(this);
  }
  ~PageFaults() override { SetPageObserver(nullptr); }
  PageFaults(const PageFaults&) = delete;
  PageFaults& operator=(const PageFaults&) = delete;

  void BeforePageOperation(Operation operation, int32_t, int32_t page_no, uint16_t) override {
    if (!started_) {
      if (operation != Operation::kGet || page_no != from_page_) return;
      started_ = true;
    }
    if (++count_ != fail_at_) return;
    failed = operation;
    throw EABSException(kInjected, "injected page failure");
  }

  // The operation that failed; none when the count never reached it.
  std::optional<Operation> failed;

 private:
  int32_t fail_at_;
  int32_t from_page_;
  bool started_;
  int32_t count_ = 0;
};

}  // namespace kelvorin::testing
