#include "db/access/dataset/blob_stream.h"

#include "db/access/dataset/abs_dataset.h"
#include "db/access/dataset/caught_errors.h"
#include "db/access/dataset/dataset_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

TABSBLOBStream::TABSBLOBStream(TABSDataSet& dataset, TField& field, TABSBlobStreamMode mode)
    : dataset_(&dataset), field_(&field) {
  if (mode != TABSBlobStreamMode::kRead && dataset.ReadOnly()) throw EABSException(native::kBlobOnReadOnlyDataset);
  if (mode != TABSBlobStreamMode::kRead && !dataset.InEditState()) throw EABSException(native::kNotInEditOrInsert);
  if (dataset.ActiveBuffer().empty()) throw EABSException(native::kNilPointerDataset);
  stream_ = dataset.Cursor().OpenBlob(dataset.ActiveBuffer().data(), dataset.TableFieldNo(field), mode);
  modified_ = stream_ != nullptr && mode == TABSBlobStreamMode::kWrite;
}

TABSBLOBStream::~TABSBLOBStream() {
  RunCaught([this] {
    if (stream_ != nullptr) stream_->Close();
  });
  stream_.reset();
  if (!modified_) return;
  RunCaught([this] { dataset_->FieldWrittenThroughStream(*field_); });
}

int64_t TABSBLOBStream::Read(void* buffer, int64_t count) {
  return stream_ == nullptr ? 0 : stream_->Read(buffer, count);
}

int64_t TABSBLOBStream::Write(const void* buffer, int64_t count) {
  if (stream_ == nullptr) return 0;
  const int64_t written = stream_->Write(buffer, count);
  if (written > 0) modified_ = true;
  return written;
}

int64_t TABSBLOBStream::Seek(int64_t offset, TABSSeekOrigin origin) {
  return stream_ == nullptr ? 0 : stream_->Seek(offset, origin);
}

void TABSBLOBStream::SetSize(int64_t size) {
  if (stream_ == nullptr) return;
  stream_->SetSize(size);
  modified_ = true;
}

int64_t TABSBLOBStream::Size() { return stream_ == nullptr ? 0 : stream_->Size(); }

}  // namespace kelvorin
