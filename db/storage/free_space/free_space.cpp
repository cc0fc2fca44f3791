#include "db/storage/free_space/free_space.h"

#include <algorithm>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_errors.h"

namespace kelvorin {

using namespace page_errors;

namespace {

// Releases the header lock on every way out of an operation.
class HeaderHold {
 public:
  HeaderHold(TABSFreeSpaceHost& host, int32_t code) : host_(host) { host_.AcquireHeader(code); }
  ~HeaderHold() { host_.ReleaseHeader(); }
  HeaderHold(const HeaderHold&) = delete;
  HeaderHold& operator=(const HeaderHold&) = delete;

 private:
  TABSFreeSpaceHost& host_;
};

// One operation as a run of its own: the header lock it holds keeps the
// bitmap pages it reads valid until it ends, so that the search, the mark
// and the extent entry read each of them once.
class OperationRun {
 public:
  explicit OperationRun(TABSDatabaseFreeSpaceManager& map) : map_(map) { map_.BeginRun(); }
  ~OperationRun() { map_.EndRun(); }
  OperationRun(const OperationRun&) = delete;
  OperationRun& operator=(const OperationRun&) = delete;

 private:
  TABSDatabaseFreeSpaceManager& map_;
};

}  // namespace

TABSDatabaseFreeSpaceManager::TABSDatabaseFreeSpaceManager(TABSFreeSpaceHost& host)
    : host_(host), header_(host.SharedHeader()) {
  data_size_ = header_.page_size - kPageHeaderSize;
  pages_per_extent_ = header_.pages_per_extent;
  pages_per_pfs_ = 8 * data_size_;
  extents_per_eam_ = 4 * data_size_;
  pages_per_group_ = extents_per_eam_ * pages_per_extent_;
  groups_fill_pfs_ranges_ = pages_per_group_ % pages_per_pfs_ == 0;
}

int64_t TABSDatabaseFreeSpaceManager::EamPageOfIndex(int64_t index) const {
  const int64_t page = index * pages_per_group_;
  return page % pages_per_pfs_ == 0 ? page + 1 : page;
}

bool TABSDatabaseFreeSpaceManager::IsSystemPage(int64_t n) const {
  if (n < 0) return false;
  // One division in the common case: a page that is neither a PFS position
  // nor right after one can only be an EAM page when groups are not whole
  // PFS ranges, and then it lies half a PFS range after a PFS position.
  // 32-bit division where it fits: it is on the path of every page access.
  const int64_t r = n <= UINT32_MAX ? static_cast<uint32_t>(n) % static_cast<uint32_t>(pages_per_pfs_)
                                    : n % pages_per_pfs_;
  if (r == 0) return true;
  if (r == 1) return (n - 1) % pages_per_group_ == 0;
  if (groups_fill_pfs_ranges_ || 2 * r != pages_per_pfs_) return false;
  return n % pages_per_group_ == 0;
}

int32_t TABSDatabaseFreeSpaceManager::PfsPageFor(int32_t page_no) const {
  return static_cast<int32_t>(page_no / pages_per_pfs_ * pages_per_pfs_);
}

int32_t TABSDatabaseFreeSpaceManager::EamPageFor(int32_t page_no) const {
  return static_cast<int32_t>(EamPageOfIndex(page_no / pages_per_group_));
}

int32_t TABSDatabaseFreeSpaceManager::GrowthStep() const {
  if (header_.total_page_count == 0) return 6;
  return std::max<int32_t>(header_.total_page_count / 10, static_cast<int32_t>(pages_per_extent_));
}

void TABSDatabaseFreeSpaceManager::CheckRemovable(int32_t page_no) const {
  if (IsSystemPage(page_no)) {
    throw EABSException(kSystemPage, "Cannot delete PFS or EAM page. PageNo=%d", {page_no});
  }
}

void TABSDatabaseFreeSpaceManager::BeginRun(int32_t pages) {
  if (run_depth_++ == 0) run_wanted_ = pages;
}

void TABSDatabaseFreeSpaceManager::EndRun() noexcept {
  if (run_depth_ > 0 && --run_depth_ == 0) {
    ReleaseReserved();
    run_wanted_ = 0;
    ForgetRunPages();
  }
}

void TABSDatabaseFreeSpaceManager::ReleaseReserved() noexcept {
  if (reserved_next_ >= reserved_.size()) return;
  const std::vector<int32_t> left(reserved_.begin() + static_cast<std::ptrdiff_t>(reserved_next_), reserved_.end());
  reserved_.clear();
  reserved_next_ = 0;
  try {
    // Highest first: the last used page comes down with each.
    for (auto page = left.rbegin(); page != left.rend(); ++page) MarkPage(*page, false, false);
    header_.last_used_page = RecomputeLastUsed(header_.last_used_page);
    ShrinkTail();
    host_.WriteSharedHeader();
  } catch (...) {
    ForgetRunPages();
    try {
      for (const int32_t page : left) abandoned_.push_back({page, false});
    } catch (...) {
      // Without memory the pages stay leaks, which the checker reports.
    }
  }
}

void TABSDatabaseFreeSpaceManager::ReadBitmap(int32_t page_no, uint16_t type, int32_t wrong_type_code,
                                              std::vector<uint8_t>& buffer) {
  const auto kept = run_depth_ > 0 ? run_pages_.find(page_no) : run_pages_.end();
  if (kept != run_pages_.end()) {
    buffer = kept->second;
  } else {
    buffer.resize(header_.page_size);
    host_.ReadRawPage(page_no, buffer.data());
    if (run_depth_ > 0) {
      try {
        run_pages_[page_no] = buffer;
      } catch (...) {
        // Not kept: read again next time.
      }
    }
  }
  // Checked on every use, kept or not: a kept page is the file's bytes.
  CheckPageType(LoadU16(buffer.data() + page_field::kPageType), type, wrong_type_code);
}

void TABSDatabaseFreeSpaceManager::WriteBitmap(int32_t page_no, const uint8_t* buffer, int32_t offset,
                                               int32_t count) {
  // A bit changes one byte: writing only it spares copying a whole page
  // into the file for every page allocated.
  const auto write = [&] {
    if (count < 0) {
      host_.WriteRawPage(page_no, buffer);
    } else {
      host_.WriteRawBytes(page_no, offset, buffer + offset, count);
    }
  };
  if (run_depth_ == 0) {
    write();
    return;
  }
  // A failed write leaves the page unknown: it is read again.
  run_pages_.erase(page_no);
  write();
  try {
    run_pages_[page_no].assign(buffer, buffer + header_.page_size);
  } catch (...) {
    // The write happened; only the copy is missing.
  }
}

bool TABSDatabaseFreeSpaceManager::IsPageUsed(int32_t page_no) {
  if (page_no < 0 || page_no >= header_.total_page_count) return false;
  std::vector<uint8_t> pfs;
  ReadBitmap(PfsPageFor(page_no), ptPFS, kWrongPfsType, pfs);
  const int64_t bit = page_no % pages_per_pfs_;
  return (pfs[kPageHeaderSize + bit / 8] >> (bit % 8)) & 1;
}

int32_t TABSDatabaseFreeSpaceManager::SearchGroup(int64_t group) {
  const int64_t eam_no = EamPageOfIndex(group);
  if (eam_no >= header_.total_page_count) return -1;
  std::vector<uint8_t> eam;
  ReadBitmap(static_cast<int32_t>(eam_no), ptEAM, kWrongEamType, eam);
  int64_t extent = -1;
  for (int64_t b = 0; b < data_size_ && extent < 0; ++b) {
    const uint8_t byte = eam[kPageHeaderSize + b];
    if ((byte & 0xAA) == 0xAA) continue;  // all four extents full
    for (int j = 0; j < 4; ++j) {
      if (!(byte & (2 << (2 * j)))) {
        extent = group * extents_per_eam_ + 4 * b + j;
        break;
      }
    }
  }
  if (extent < 0) return -1;
  const int64_t last_used = header_.last_used_page;
  const int64_t first_pfs = extent * pages_per_extent_ / pages_per_pfs_;
  int64_t last_pfs = ((extent + 1) * pages_per_extent_ - 1) / pages_per_pfs_;
  if (PfsPageOfIndex(first_pfs) >= last_used) return -1;
  while (PfsPageOfIndex(last_pfs) >= last_used) --last_pfs;
  int64_t result = -1;
  std::vector<uint8_t> pfs;
  for (int64_t k = first_pfs; k <= last_pfs; ++k) {
    ReadBitmap(static_cast<int32_t>(PfsPageOfIndex(k)), ptPFS, kWrongEamType, pfs);
    for (int64_t b = 0; b < data_size_; ++b) {
      const uint8_t byte = pfs[kPageHeaderSize + b];
      if (byte == 0xFF) continue;
      int j = 0;
      while ((byte >> j) & 1) ++j;
      result = PfsPageOfIndex(k) + 8 * b + j;
      break;
    }
  }
  // A clear bit on a system page is damage, not a free page.
  if (result < 0 || result >= header_.total_page_count || IsSystemPage(result)) return -1;
  return static_cast<int32_t>(result);
}

int32_t TABSDatabaseFreeSpaceManager::AllocatePage() {
  HeaderHold hold(host_, kAllocateLocked);
  const OperationRun run(*this);
  const int32_t wanted = run_wanted_;
  if (run_wanted_ > 0) --run_wanted_;
  if (reserved_next_ < reserved_.size()) return reserved_[reserved_next_++];
  RetryAbandoned();
  int32_t result = -1;
  if (header_.last_used_page != -1) {
    const int64_t group = header_.last_used_page / pages_per_group_;
    result = SearchGroup(group);
    if (result < 0 && group > 0) {
      const int64_t pick = group <= 2 ? 0 : host_.RandomBetween(0, group - 2);
      result = SearchGroup(pick);
    }
  }
  // The pages after the last used one are free: a run that wants more than
  // one takes them together.
  if (result < 0 || (wanted > 1 && result > header_.last_used_page)) return Extend(std::max(wanted, 1));
  const int32_t last_used = header_.last_used_page;
  bool marked = false;
  try {
    MarkPage(result, true, true, &marked);
    if (result > last_used) {
      header_.last_used_page = result;
      host_.WriteSharedHeader();
    }
  } catch (...) {
    header_.last_used_page = last_used;
    UndoAllocation({&result, 1}, marked, header_.total_page_count);
    throw;
  }
  return result;
}

void TABSDatabaseFreeSpaceManager::UndoAllocation(std::span<const int32_t> pages, bool marked,
                                                  int32_t old_total) noexcept {
  // A failed allocation gives back what it took, so that it leaves no page
  // marked used that nobody owns. Should this fail too, the pages are given
  // back by a later allocation or free.
  ForgetRunPages();
  bool unmarked = !marked;
  try {
    if (marked) {
      for (const int32_t page_no : pages) {
        if (page_no < old_total) MarkPage(page_no, false, false);
      }
      unmarked = true;
    }
    if (header_.total_page_count > old_total) {
      const int32_t grown = header_.total_page_count - old_total;
      // Pages of the growth are unmarked only by clearing its bits.
      if (marked && std::any_of(pages.begin(), pages.end(), [&](int32_t page_no) { return page_no >= old_total; })) {
        unmarked = false;
      }
      ClearBitsFrom(old_total, header_.total_page_count);
      unmarked = true;
      host_.ShrinkFile(grown);
    }
  } catch (...) {
  }
  ForgetRunPages();
  if (unmarked) return;
  try {
    for (const int32_t page_no : pages) abandoned_.push_back({page_no, page_no > header_.last_used_page});
  } catch (...) {
    // Without memory the pages stay leaks, which the checker reports.
  }
}

void TABSDatabaseFreeSpaceManager::RetryAbandoned() noexcept {
  while (!abandoned_.empty()) {
    const Abandoned page = abandoned_.back();
    try {
      if (page.page_no >= header_.total_page_count) {
        // Beyond the file as its header tells (the growth that took the page
        // was undone): only its bit in a PFS page that stays is left over.
        ClearBitsFrom(page.page_no, int64_t{page.page_no} + 1);
      } else if (!page.above_last_used) {
        MarkPage(page.page_no, false, false);
        if (page.page_no >= header_.last_used_page) {
          header_.last_used_page = RecomputeLastUsed(std::max(page.page_no, header_.last_used_page));
        }
        ShrinkTail();
        host_.WriteSharedHeader();
      } else if (page.page_no > header_.last_used_page) {
        MarkPage(page.page_no, false, false);
      }
    } catch (...) {
      return;
    }
    abandoned_.pop_back();
  }
}

void TABSDatabaseFreeSpaceManager::ReleaseAbandoned() noexcept {
  if (abandoned_.empty()) return;
  try {
    HeaderHold hold(host_, kAllocateLocked);
    RetryAbandoned();
  } catch (...) {
    // The header is locked by another process: the next try.
  }
}

int32_t TABSDatabaseFreeSpaceManager::Extend(int32_t count) {
  const int64_t last_used = header_.last_used_page;
  const int64_t old_pfs = last_used < 0 ? -1 : last_used / pages_per_pfs_;
  const int64_t old_group = last_used < 0 ? -1 : last_used / pages_per_group_;
  std::vector<int32_t> pages;
  pages.reserve(static_cast<size_t>(count));
  for (int64_t page = last_used + 1; static_cast<int32_t>(pages.size()) < count; ++page) {
    while (IsSystemPage(page)) ++page;
    if (page > INT32_MAX - 1) {
      if (!pages.empty()) break;  // as many as can be addressed
      throw EABSException(kPfsNotAddressed, "Page: %d cannot be addressed. TotalPageCount=%d",
                          {page, header_.total_page_count});
    }
    pages.push_back(static_cast<int32_t>(page));
  }
  const int32_t top = pages.back();
  const int32_t old_total = header_.total_page_count;
  bool marked = false;
  try {
    while (top >= header_.total_page_count) host_.GrowFile(GrowthStep());
    const int64_t new_pfs = top / pages_per_pfs_;
    const int64_t new_group = top / pages_per_group_;
    for (int64_t k = old_pfs + 1; k <= new_pfs; ++k) CreatePfsPage(k);
    for (int64_t i = old_group + 1; i <= new_group; ++i) CreateEamPage(i);
    for (int64_t i = old_group + 1; i <= new_group; ++i) {
      MarkPage(static_cast<int32_t>(EamPageOfIndex(i)), true, false);
    }
    for (int64_t k = old_pfs + 1; k <= new_pfs; ++k) UpdateEamEntry(static_cast<int32_t>(PfsPageOfIndex(k)));
    // Pages above the last used one are nobody's: a bit already set there
    // was left by an allocation that failed before its header was written.
    if (pages.size() == 1) {
      MarkPage(top, true, false, &marked);
    } else {
      MarkFreshPages(pages, &marked);
    }
    header_.last_used_page = top;
    host_.WriteSharedHeader();
  } catch (...) {
    header_.last_used_page = static_cast<int32_t>(last_used);
    UndoAllocation(pages, marked, old_total);
    throw;
  }
  if (pages.size() > 1) {
    reserved_ = std::move(pages);
    reserved_next_ = 1;
    return reserved_.front();
  }
  return top;
}

void TABSDatabaseFreeSpaceManager::MarkFreshPages(const std::vector<int32_t>& pages, bool* changed) {
  // The PFS bits first, so that an EAM entry never claims "full" before
  // they say so (see MarkPage).
  std::vector<uint8_t> pfs;
  for (size_t i = 0; i < pages.size();) {
    const int32_t pfs_no = PfsPageFor(pages[i]);
    ReadBitmap(pfs_no, ptPFS, kWrongPfsType, pfs);
    const int64_t first_byte = (pages[i] - pfs_no) / 8;
    int64_t last_byte = first_byte;
    for (; i < pages.size() && PfsPageFor(pages[i]) == pfs_no; ++i) {
      const int64_t bit = pages[i] - pfs_no;
      pfs[kPageHeaderSize + bit / 8] |= static_cast<uint8_t>(1 << (bit % 8));
      last_byte = bit / 8;
    }
    *changed = true;
    WriteBitmap(pfs_no, pfs.data(), static_cast<int32_t>(kPageHeaderSize + first_byte),
                static_cast<int32_t>(last_byte - first_byte + 1));
  }
  // The entries of the extents holding the pages, a run of neighbouring
  // extents of one group at a time (an extent of system pages only is
  // left as it is).
  for (size_t i = 0; i < pages.size();) {
    const int64_t first = pages[i] / pages_per_extent_;
    int64_t last = first;
    for (++i; i < pages.size(); ++i) {
      const int64_t extent = pages[i] / pages_per_extent_;
      if (extent == last) continue;
      if (extent != last + 1 || extent / extents_per_eam_ != first / extents_per_eam_) break;
      last = extent;
    }
    UpdateEamEntries(first, last, pages.back());
  }
}

void TABSDatabaseFreeSpaceManager::CreatePfsPage(int64_t index) {
  std::vector<uint8_t> buffer(header_.page_size, 0);
  InitPageHeader(buffer.data());
  StoreU16(buffer.data() + page_field::kPageType, ptPFS);
  // The page marks itself and every other system page of its range that the
  // file still holds (an EAM page may outlive a PFS page dropped by a shrink).
  const int64_t first = PfsPageOfIndex(index);
  const int64_t end = std::min<int64_t>(first + pages_per_pfs_, header_.total_page_count);
  for (int64_t group = first / pages_per_group_; EamPageOfIndex(group) < end; ++group) {
    const int64_t eam = EamPageOfIndex(group);
    if (eam >= first) buffer[kPageHeaderSize + (eam - first) / 8] |= 1 << ((eam - first) % 8);
  }
  buffer[kPageHeaderSize] |= 1;
  WriteBitmap(static_cast<int32_t>(first), buffer.data());
}

void TABSDatabaseFreeSpaceManager::CreateEamPage(int64_t index) {
  std::vector<uint8_t> buffer(header_.page_size, 0);
  InitPageHeader(buffer.data());
  StoreU16(buffer.data() + page_field::kPageType, ptEAM);
  buffer[kPageHeaderSize] = 1;
  WriteBitmap(static_cast<int32_t>(EamPageOfIndex(index)), buffer.data());
}

void TABSDatabaseFreeSpaceManager::MarkPage(int32_t page_no, bool used, bool strict, bool* changed) {
  if (page_no < 0 || page_no >= header_.total_page_count) {
    throw EABSException(kPfsNotAddressed, "Page: %d cannot be addressed. TotalPageCount=%d",
                        {page_no, header_.total_page_count});
  }
  std::vector<uint8_t> pfs;
  const int32_t pfs_no = PfsPageFor(page_no);
  ReadBitmap(pfs_no, ptPFS, kWrongPfsType, pfs);
  const int64_t bit = page_no - pfs_no;
  uint8_t& byte = pfs[kPageHeaderSize + bit / 8];
  const uint8_t mask = static_cast<uint8_t>(1 << (bit % 8));
  const bool was_used = byte & mask;
  if (was_used == used) {
    if (!strict) return;
    if (used) throw EABSException(kAlreadyUsed, "Page: %d already used", {page_no});
    throw EABSException(kAlreadyFree, "Page: %d already free", {page_no});
  }
  byte = used ? (byte | mask) : (byte & ~mask);
  const int32_t byte_offset = static_cast<int32_t>(kPageHeaderSize + bit / 8);
  // The EAM entry only ever claims "full" after the PFS bits say so: a
  // process stopped between the two writes leaves a hint that is too
  // hopeful, never one that hides a free page.
  if (used) {
    WriteBitmap(pfs_no, pfs.data(), byte_offset, 1);
    if (changed != nullptr) *changed = true;
    UpdateEamEntry(page_no);
  } else {
    UpdateEamEntry(page_no, page_no);
    WriteBitmap(pfs_no, pfs.data(), byte_offset, 1);
  }
}

void TABSDatabaseFreeSpaceManager::UpdateEamEntry(int32_t page_no, int32_t freed_page) {
  const int64_t extent = page_no / pages_per_extent_;
  UpdateEamEntries(extent, extent, page_no, freed_page);
}

void TABSDatabaseFreeSpaceManager::UpdateEamEntries(int64_t first, int64_t last, int64_t top_page,
                                                    int32_t freed_page) {
  const int64_t group = first / extents_per_eam_;
  const int64_t eam_no = EamPageOfIndex(group);
  if (eam_no >= header_.total_page_count) {
    throw EABSException(kEamNotAddressed, "Page: %d cannot be addressed. TotalPageCount=%d",
                        {top_page, header_.total_page_count});
  }
  std::vector<uint8_t> eam;
  ReadBitmap(static_cast<int32_t>(eam_no), ptEAM, kWrongEamTypeMark, eam);
  const int64_t top_pfs = top_page / pages_per_pfs_ * pages_per_pfs_;
  std::vector<uint8_t> pfs;
  int64_t loaded_pfs = -1;
  int64_t changed_first = -1;
  int64_t changed_last = -1;
  for (int64_t extent = first; extent <= last; ++extent) {
    int64_t used = 0;
    int64_t free = 0;
    const int64_t start = extent * pages_per_extent_;
    const int64_t end = std::min<int64_t>(start + pages_per_extent_, header_.total_page_count);
    for (int64_t p = start; p < end && (used == 0 || free == 0); ++p) {
      const int64_t pfs_no = p / pages_per_pfs_ * pages_per_pfs_;
      if (pfs_no > header_.last_used_page && pfs_no > top_pfs) {
        ++free;  // its PFS page may not exist yet: free without reading
        continue;
      }
      if (pfs_no != loaded_pfs) {
        ReadBitmap(static_cast<int32_t>(pfs_no), ptPFS, kWrongPfsType, pfs);
        loaded_pfs = pfs_no;
      }
      const int64_t bit = p - pfs_no;
      (p != freed_page && ((pfs[kPageHeaderSize + bit / 8] >> (bit % 8)) & 1)) ? ++used : ++free;
    }
    const uint8_t value = end <= start ? 0 : (used > 0 && free == 0 ? 3 : 1);
    const int64_t slot = extent - group * extents_per_eam_;
    const int64_t byte_offset = kPageHeaderSize + slot / 4;
    uint8_t& byte = eam[byte_offset];
    const int shift = static_cast<int>(2 * (slot % 4));
    const uint8_t updated = static_cast<uint8_t>((byte & ~(3 << shift)) | (value << shift));
    if (updated == byte) continue;
    byte = updated;
    if (changed_first < 0) changed_first = byte_offset;
    changed_last = byte_offset;
  }
  if (changed_first < 0) return;
  WriteBitmap(static_cast<int32_t>(eam_no), eam.data(), static_cast<int32_t>(changed_first),
              static_cast<int32_t>(changed_last - changed_first + 1));
}

int32_t TABSDatabaseFreeSpaceManager::RecomputeLastUsed(int32_t from) {
  std::vector<uint8_t> pfs;
  for (int64_t k = from / pages_per_pfs_; k >= 0; --k) {
    const int64_t first = PfsPageOfIndex(k);
    ReadBitmap(static_cast<int32_t>(first), ptPFS, kWrongPfsType, pfs);
    const int64_t top = std::min<int64_t>(pages_per_pfs_ - 1, from - first);
    for (int64_t bit = top; bit >= 0; --bit) {
      if (!((pfs[kPageHeaderSize + bit / 8] >> (bit % 8)) & 1)) continue;
      if (!IsSystemPage(first + bit)) return static_cast<int32_t>(first + bit);
    }
  }
  return -1;
}

void TABSDatabaseFreeSpaceManager::ShrinkTail() {
  const int32_t step = GrowthStep();
  const int64_t tail = int64_t{header_.total_page_count} - header_.last_used_page - 1;
  if (tail < step) return;
  DropTail(static_cast<int32_t>(tail / step * step));
}

void TABSDatabaseFreeSpaceManager::DropTail(int32_t count) {
  if (count <= 0) return;
  count = std::min(count, header_.total_page_count);
  const int64_t new_total = header_.total_page_count - count;
  ClearBitsFrom(new_total, header_.total_page_count);
  // Pages past the new end are gone from the file.
  ForgetRunPages();
  host_.ShrinkFile(count);
}

bool TABSDatabaseFreeSpaceManager::IsBlankPage(int64_t page_no) {
  std::vector<uint8_t> bytes(header_.page_size);
  host_.ReadRawPage(static_cast<int32_t>(page_no), bytes.data());
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

void TABSDatabaseFreeSpaceManager::DropLostTail(int32_t pages_in_file) {
  if (pages_in_file < 0 || pages_in_file >= header_.total_page_count) return;
  if (header_.last_used_page >= pages_in_file) {
    // Bitmap pages the lost growth created inside the file may never have
    // been written (still zero): the pages they cover count as free, and
    // the next growth creates them again.
    int64_t from = pages_in_file - 1;
    while (from >= pages_per_pfs_ && IsBlankPage(from / pages_per_pfs_ * pages_per_pfs_)) {
      from = from / pages_per_pfs_ * pages_per_pfs_ - 1;
    }
    header_.last_used_page = from >= 0 ? RecomputeLastUsed(static_cast<int32_t>(from)) : -1;
    for (int64_t group = 1; header_.last_used_page >= 0 && group <= header_.last_used_page / pages_per_group_;
         ++group) {
      if (!IsBlankPage(EamPageOfIndex(group))) continue;
      CreateEamPage(group);
      MarkPage(static_cast<int32_t>(EamPageOfIndex(group)), true, false);
    }
  }
  DropTail(header_.total_page_count - pages_in_file);
}

void TABSDatabaseFreeSpaceManager::ClearBitsFrom(int64_t first, int64_t end) {
  // Bits of dropped pages in the PFS page that stays (system pages, or pages
  // a failed allocation left marked) must be cleared, or growing again later
  // would find them "already used". A PFS page above the last used page is
  // written afresh when it is needed again.
  const int64_t pfs_first = first / pages_per_pfs_ * pages_per_pfs_;
  if (pfs_first >= first || pfs_first > header_.last_used_page) return;
  std::vector<uint8_t> pfs;
  ReadBitmap(static_cast<int32_t>(pfs_first), ptPFS, kWrongPfsType, pfs);
  const int64_t stop = std::min<int64_t>(end - pfs_first, pages_per_pfs_);
  bool changed = false;
  for (int64_t bit = first - pfs_first; bit < stop; ++bit) {
    uint8_t& byte = pfs[kPageHeaderSize + bit / 8];
    const uint8_t mask = static_cast<uint8_t>(1 << (bit % 8));
    changed = changed || (byte & mask);
    byte &= static_cast<uint8_t>(~mask);
  }
  if (changed) WriteBitmap(static_cast<int32_t>(pfs_first), pfs.data());
}

void TABSDatabaseFreeSpaceManager::FreePage(int32_t page_no) {
  HeaderHold hold(host_, kFreeLocked);
  const OperationRun run(*this);
  RetryAbandoned();
  CheckRemovable(page_no);
  MarkPage(page_no, false, true);
  if (page_no >= header_.last_used_page) {
    header_.last_used_page = RecomputeLastUsed(std::max(page_no, header_.last_used_page));
  }
  ShrinkTail();
  host_.WriteSharedHeader();
}

}  // namespace kelvorin
