// TABSPageHold: one hold on a page of a page manager, released by PutPage
// when the hold goes out of scope, so that every way out of a page
// operation (return or error) gives the page back.
#pragma once

#include <cstdint>
#include <utility>

#include "db/storage/pages/page_manager.h"

namespace kelvorin {

class TABSPageHold {
 public:
  TABSPageHold() = default;
  TABSPageHold(TABSPageManager& manager, TABSPage* page) : manager_(&manager), page_(page) {}
  TABSPageHold(TABSPageHold&& other) noexcept
      : manager_(other.manager_), page_(std::exchange(other.page_, nullptr)) {}
  TABSPageHold& operator=(TABSPageHold&& other) noexcept {
    if (this != &other) {
      Release();
      manager_ = other.manager_;
      page_ = std::exchange(other.page_, nullptr);
    }
    return *this;
  }
  TABSPageHold(const TABSPageHold&) = delete;
  TABSPageHold& operator=(const TABSPageHold&) = delete;
  ~TABSPageHold() { Release(); }

  static TABSPageHold Get(TABSPageManager& manager, int32_t session, int32_t page_no, uint16_t page_type,
                          int32_t owner = kAnyPageOwner) {
    return TABSPageHold(manager, manager.GetPage(session, page_no, page_type, owner));
  }
  static TABSPageHold Add(TABSPageManager& manager, int32_t session, uint16_t page_type) {
    return TABSPageHold(manager, manager.AddPage(session, page_type));
  }

  TABSPage* get() const { return page_; }
  TABSPage* operator->() const { return page_; }
  TABSPage& operator*() const { return *page_; }
  explicit operator bool() const { return page_ != nullptr; }

  // Marks the page changed; it is written at its session's commit.
  void MarkDirty() const { page_->dirty = true; }

  void Release() noexcept {
    if (page_ == nullptr) return;
    TABSPage* page = std::exchange(page_, nullptr);
    try {
      manager_->PutPage(page);
    } catch (...) {
      // Releasing only moves the page between lists; nothing is lost.
    }
  }

 private:
  TABSPageManager* manager_ = nullptr;
  TABSPage* page_ = nullptr;
};

}  // namespace kelvorin
