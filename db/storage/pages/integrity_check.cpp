#include "db/storage/pages/integrity_check.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/crc32.h"
#include "db/storage/file/database_file.h"
#include "db/storage/file/database_file_layout.h"
#include "db/storage/file/journal.h"

namespace kelvorin {

bool TABSIntegrityReport::HasCorruption() const {
  return std::any_of(problems.begin(), problems.end(), [](const TABSIntegrityProblem& p) {
    return p.kind == TABSIntegrityProblem::Kind::kCorruption;
  });
}

int TABSIntegrityReport::LeakCount() const {
  return static_cast<int>(std::count_if(problems.begin(), problems.end(), [](const TABSIntegrityProblem& p) {
    return p.kind == TABSIntegrityProblem::Kind::kLeak;
  }));
}

int TABSIntegrityReport::LeftoverCount() const {
  return static_cast<int>(std::count_if(problems.begin(), problems.end(), [](const TABSIntegrityProblem& p) {
    return p.kind == TABSIntegrityProblem::Kind::kLeftover;
  }));
}

std::string TABSIntegrityReport::Describe() const {
  std::string text;
  for (const auto& p : problems) {
    switch (p.kind) {
      case TABSIntegrityProblem::Kind::kLeak:
        text += "leak: ";
        break;
      case TABSIntegrityProblem::Kind::kLeftover:
        text += "leftover: ";
        break;
      case TABSIntegrityProblem::Kind::kCorruption:
        text += "corruption: ";
        break;
    }
    if (p.page_no >= 0) text += "page " + std::to_string(p.page_no) + ": ";
    text += p.text + "\n";
  }
  return text;
}

namespace {

class Checker {
 public:
  Checker(TABSDatabaseFile& file, const TABSPassword& password) : file_(file), password_(password) {}

  TABSIntegrityReport Run(TABSPageUsage* usage) {
    journal_ = TABSJournal::Examine(file_);
    switch (journal_) {
      case TABSJournal::State::kApplicable:
        Corrupt(-1, "a rollback journal is present (an interrupted commit)");
        break;
      case TABSJournal::State::kForeign:
        Corrupt(-1, "a rollback journal of another state of the file is present (it is not applied)");
        break;
      case TABSJournal::State::kNone:
      case TABSJournal::State::kDone:
        break;
    }
    if (!CheckHeaders()) return std::move(report_);
    LoadBitmaps();
    CheckSystemPages();
    CheckPagesInUse();
    CheckEamEntries();
    if (usage != nullptr) link_problems_ = &usage->links;
    CheckChains();
    if (usage != nullptr) {
      usage->walked = true;
      usage->used = used_;
      usage->system.assign(static_cast<size_t>(total_), false);
      for (int64_t n = 0; n < total_; ++n) usage->system[n] = IsSystemPage(n);
    }
    return std::move(report_);
  }

 private:
  void Corrupt(int32_t page, std::string text) {
    report_.problems.push_back({TABSIntegrityProblem::Kind::kCorruption, page, std::move(text)});
  }
  void Leak(int32_t page, std::string text) {
    report_.problems.push_back({TABSIntegrityProblem::Kind::kLeak, page, std::move(text)});
  }
  void LinkProblem(int32_t page, std::string text) {
    if (link_problems_ == nullptr) {
      Corrupt(page, std::move(text));
    } else {
      link_problems_->push_back({TABSIntegrityProblem::Kind::kCorruption, page, std::move(text)});
    }
  }

  bool CheckHeaders() {
    uint8_t prefix[kPageAreaOffset];
    if (!file_.ReadBuffer(prefix, 0, kPageAreaOffset)) {
      Corrupt(-1, "the file is shorter than its headers");
      return false;
    }
    header_ = TABSDatabaseHeader::Decode(prefix);
    if (!header_.HasSignature()) {
      Corrupt(-1, "wrong signature");
      return false;
    }
    bool ok = true;
    auto require = [&](bool condition, const std::string& text) {
      if (!condition) Corrupt(-1, text);
      ok = ok && condition;
    };
    require(header_.header_size == kDatabaseHeaderSize, "database header size is not 76");
    require(header_.page_size >= kMinPageSize, "page size " + std::to_string(header_.page_size) + " is too small");
    require(header_.pages_per_extent >= 1, "pages per extent is 0");
    require(header_.total_page_count >= 0, "negative total page count");
    require(header_.last_used_page >= -1 &&
                (header_.last_used_page == -1 || header_.last_used_page < header_.total_page_count),
            "last used page " + std::to_string(header_.last_used_page) + " outside the file");
    require(header_.encrypted == 0 || header_.encrypted == kEncryptedFlag, "invalid encrypted flag");
    require(LoadU16(prefix + kEncryptionHeaderOffset) == kEncryptionHeaderSize, "encryption header size is not 280");
    require(LoadU16(prefix + kReservedHeaderOffset) == kReservedHeaderSize, "reserved header size is not 20");
    // A commit sets the state byte back after marking its journal done; a
    // power loss may keep the journal and lose that write.
    if (header_.state != kStateConsistent &&
        !(header_.state == kStateCommitting && journal_ == TABSJournal::State::kDone)) {
      Corrupt(-1, "state byte says a commit was interrupted");
    }
    if (!ok) return false;
    if (header_.encrypted) {
      encryption_ = TABSEncryptionHeader::Decode(prefix + kEncryptionHeaderOffset);
      if (!IsValidCipherId(encryption_.cipher_id)) {
        Corrupt(-1, "unknown cipher id " + std::to_string(encryption_.cipher_id));
        return false;
      }
      uint8_t block[kCheckBlockSize];
      std::memcpy(block, encryption_.check_block, kCheckBlockSize);
      can_decrypt_ = DecryptBuffer(block, kCheckBlockSize, password_.password, encryption_.cipher_id) &&
                     AbsCrc32(block, kCheckBlockSize) == encryption_.check_crc;
      // Without the password only the layout can be checked.
      if (!can_decrypt_ && !password_.password.empty()) {
        Corrupt(-1, "the password does not open this file");
      }
    }
    page_size_ = header_.page_size;
    data_size_ = page_size_ - kPageHeaderSize;
    pfs_pages_ = 8 * data_size_;
    group_pages_ = 4 * data_size_ * header_.pages_per_extent;
    total_ = header_.total_page_count;
    const int64_t expected = kPageAreaOffset + int64_t{total_} * page_size_;
    const int64_t size = file_.GetSize();
    if (size < expected) {
      Corrupt(-1, "file size " + std::to_string(size) + " is below the " + std::to_string(expected) +
                      " bytes of its " + std::to_string(total_) + " pages");
      return false;
    }
    if (size > expected) Leak(-1, "file is longer than its page total");
    return true;
  }

  bool IsSystemPage(int64_t n) const {
    if (n % pfs_pages_ == 0 || n % group_pages_ == 0) return true;
    return n >= 1 && (n - 1) % pfs_pages_ == 0 && (n - 1) % group_pages_ == 0;
  }
  int64_t EamPage(int64_t group) const {
    const int64_t page = group * group_pages_;
    return page % pfs_pages_ == 0 ? page + 1 : page;
  }

  static bool IsZero(const std::vector<uint8_t>& page) {
    return std::all_of(page.begin(), page.end(), [](uint8_t b) { return b == 0; });
  }

  bool ReadPage(int64_t page_no, std::vector<uint8_t>& buffer) {
    buffer.resize(page_size_);
    return file_.ReadBuffer(buffer.data(), kPageAreaOffset + page_no * page_size_, page_size_);
  }

  void LoadBitmaps() {
    used_.assign(total_, false);
    std::vector<uint8_t> page;
    for (int64_t first = 0; first < total_; first += pfs_pages_) {
      const bool read = ReadPage(first, page);
      // Growth may pass a PFS position before any page of its range is used;
      // the PFS page is written when the first one is.
      if (read && first > header_.last_used_page && IsZero(page)) continue;
      if (!read || LoadU16(page.data() + page_field::kPageType) != ptPFS ||
          std::memcmp(page.data(), kPageMagic.data(), 4) != 0) {
        Corrupt(static_cast<int32_t>(first), "PFS page expected");
        continue;
      }
      for (int64_t bit = 0; bit < pfs_pages_; ++bit) {
        const bool set = (page[kPageHeaderSize + bit / 8] >> (bit % 8)) & 1;
        const int64_t n = first + bit;
        if (n < total_) {
          used_[n] = set;
        } else if (set && IsSystemPage(n) && n != first) {
          Corrupt(static_cast<int32_t>(first), "bit of dropped system page " + std::to_string(n) + " still set");
        } else if (set) {
          Leak(static_cast<int32_t>(n), "marked used beyond the end of the file");
        }
      }
    }
  }

  void CheckSystemPages() {
    std::vector<uint8_t> page;
    for (int64_t group = 0; EamPage(group) < total_; ++group) {
      const int64_t n = EamPage(group);
      if (n > header_.last_used_page) break;  // created with the first page of its group
      if (!ReadPage(n, page) || LoadU16(page.data() + page_field::kPageType) != ptEAM) {
        Corrupt(static_cast<int32_t>(n), "EAM page expected");
      }
    }
    for (int64_t n = 0; n <= header_.last_used_page; ++n) {
      if (IsSystemPage(n) && !used_[n]) Corrupt(static_cast<int32_t>(n), "system page not marked used");
    }
  }

  void CheckPagesInUse() {
    std::vector<uint8_t> page;
    const int32_t last = header_.last_used_page;
    if (last >= 0 && !used_[last]) Leak(last, "last used page is marked free");
    for (int64_t n = 0; n < total_; ++n) {
      if (!used_[n] || IsSystemPage(n)) continue;
      if (n > last) {
        Leak(static_cast<int32_t>(n), "marked used above the last used page");
        continue;
      }
      if (!ReadPage(n, page)) {
        Corrupt(static_cast<int32_t>(n), "cannot be read");
        continue;
      }
      const uint16_t type = LoadU16(page.data() + page_field::kPageType);
      if (std::all_of(page.begin(), page.begin() + kPageHeaderSize, [](uint8_t b) { return b == 0; })) {
        // Allocated, and the session that allocated it never committed.
        Leak(static_cast<int32_t>(n), "allocated but never written");
        continue;
      }
      if (std::memcmp(page.data(), kPageMagic.data(), 4) != 0) {
        Corrupt(static_cast<int32_t>(n), "page magic missing");
      } else if (type > kLastPageType || type == ptPFS || type == ptEAM) {
        Corrupt(static_cast<int32_t>(n), "page type " + std::to_string(type) + " in a data page");
      } else if (header_.encrypted && can_decrypt_) {
        CheckEncryptedData(static_cast<int32_t>(n), page);
      }
      next_[static_cast<int32_t>(n)] = LoadI32(page.data() + page_field::kNextPage);
    }
  }

  void CheckEncryptedData(int32_t n, std::vector<uint8_t>& page) {
    const uint8_t cipher = page[page_field::kCipherId];
    // Pages kept plain are the direct-access files', written in place on
    // disk: their checksum is the one of their creation.
    if (cipher == 0xFF) return;
    uint8_t* data = page.data() + kPageHeaderSize;
    const bool decrypted =
        IsValidCipherId(cipher) && DecryptBuffer(data, data_size_, password_.password, cipher);
    if (!decrypted || AbsCrc32(data, data_size_) != LoadU32(page.data() + page_field::kDataCrc)) {
      Corrupt(n, "encrypted data does not match its CRC");
    }
  }

  void CheckEamEntries() {
    std::vector<uint8_t> page;
    const int64_t extent_pages = header_.pages_per_extent;
    for (int64_t group = 0; EamPage(group) <= header_.last_used_page; ++group) {
      if (!ReadPage(EamPage(group), page)) continue;
      for (int64_t slot = 0; slot < 4 * data_size_; ++slot) {
        const int64_t extent = group * 4 * data_size_ + slot;
        const int64_t first = extent * extent_pages;
        if (first >= total_) break;
        const bool full = (page[kPageHeaderSize + slot / 4] >> (2 * (slot % 4) + 1)) & 1;
        if (!full) continue;
        for (int64_t p = first; p < std::min<int64_t>(first + extent_pages, total_); ++p) {
          if (!used_[p]) {
            Leak(static_cast<int32_t>(p), "free, but its extent " + std::to_string(extent) +
                                              " is marked full in EAM page " + std::to_string(EamPage(group)));
            break;
          }
        }
      }
    }
  }

  void CheckChains() {
    // Every next link must lead to a data page in use; following the links
    // from any page must end.
    for (const auto& [page, next] : next_) {
      if (next == -1) continue;
      if (next < 0 || next >= total_ || !used_[next] || IsSystemPage(next)) {
        LinkProblem(page, "next page " + std::to_string(next) + " is not a page in use");
      }
    }
    std::unordered_map<int32_t, int> state;  // 1 on the current walk, 2 done
    for (const auto& [start, unused] : next_) {
      std::vector<int32_t> walk;
      int32_t p = start;
      while (p != -1 && next_.count(p) && state[p] == 0) {
        state[p] = 1;
        walk.push_back(p);
        p = next_[p];
      }
      if (p != -1 && next_.count(p) && state[p] == 1) LinkProblem(p, "page chain loops");
      for (const int32_t w : walk) state[w] = 2;
    }
  }

  TABSDatabaseFile& file_;
  const TABSPassword& password_;
  TABSIntegrityReport report_;
  TABSJournal::State journal_ = TABSJournal::State::kNone;
  TABSDatabaseHeader header_;
  TABSEncryptionHeader encryption_;
  bool can_decrypt_ = false;
  int64_t page_size_ = 0;
  int64_t data_size_ = 0;
  int64_t pfs_pages_ = 1;
  int64_t group_pages_ = 1;
  int32_t total_ = 0;
  std::vector<bool> used_;
  std::unordered_map<int32_t, int32_t> next_;
  std::vector<TABSIntegrityProblem>* link_problems_ = nullptr;
};

}  // namespace

TABSIntegrityReport CheckDatabaseFile(const std::string& path, const TABSPassword& password,
                                      TABSPageUsage* usage) {
  TABSDatabaseFile file;
  file.OpenFile(path, TABSDatabaseFile::amRead, TABSDatabaseFile::smDenyNone);
  return Checker(file, password).Run(usage);
}

}  // namespace kelvorin
