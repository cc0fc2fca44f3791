// TABSBLOBStream: a BLOB field of a dataset's current record read or
// written as a stream. Writing modes need a dataset in edit or insert
// state that is not read-only; the write mode starts from an empty value.
// Destroying the stream hands a written value back to the record and, when
// it was changed, tells the views that the field changed (whatever they
// raise goes to the error hook).
#pragma once

#include <cstdint>
#include <memory>

#include "db/access/local/local_blob_stream.h"
#include "db/storage/streams/stream.h"

namespace kelvorin {

class TABSDataSet;
class TField;

class TABSBLOBStream : public TABSStream {
 public:
  TABSBLOBStream(TABSDataSet& dataset, TField& field, TABSBlobStreamMode mode);
  ~TABSBLOBStream() override;

  // Without an underlying stream (the record could not be read) these do
  // nothing and return 0.
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TABSSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override;
  bool Modified() const { return modified_; }

 private:
  TABSDataSet* dataset_;
  TField* field_;
  std::unique_ptr<TABSLocalBLOBStream> stream_;
  bool modified_ = false;
};

}  // namespace kelvorin
