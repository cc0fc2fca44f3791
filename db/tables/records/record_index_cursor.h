// TABSRecordIndexCursor: the cursor through which the table hands one
// record to its indexes (insert, update) or every record of the table
// (building an index), as the B-tree layer asks for it.
#pragma once

#include <cstdint>
#include <functional>

#include "db/tables/btree/index_cursor.h"

namespace kelvorin {

class TABSRecordIndexCursor : public TABSIndexCursor {
 public:
  using RecordWalk = std::function<void(const std::function<void(TABSRecordId, const uint8_t*)>&)>;

  TABSRecordIndexCursor(int32_t session, const uint8_t* record, TABSRecordId id,
                        const uint8_t* before_image = nullptr)
      : session_(session), record_(record), id_(id), before_image_(before_image) {}
  // A cursor over every record of the table, for a build.
  TABSRecordIndexCursor(int32_t session, RecordWalk walk) : session_(session), walk_(std::move(walk)) {}

  int32_t SessionId() const override { return session_; }
  const uint8_t* Record() const override { return record_; }
  TABSRecordId RecordId() const override { return id_; }
  const uint8_t* BeforeImage() const override { return before_image_; }
  void ForEachRecord(const std::function<void(TABSRecordId id, const uint8_t* record)>& visit) override {
    if (walk_) walk_(visit);
  }

 private:
  int32_t session_;
  const uint8_t* record_ = nullptr;
  TABSRecordId id_;
  const uint8_t* before_image_ = nullptr;
  RecordWalk walk_;
};

}  // namespace kelvorin
