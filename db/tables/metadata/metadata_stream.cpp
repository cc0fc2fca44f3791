#include "db/tables/metadata/metadata_stream.h"

#include <stdexcept>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/abs_variant.h"

namespace kelvorin {

void TABSMetadataWriter::Bytes(const void* data, int32_t count) {
  int64_t position = output_.Position();
  int32_t written = output_.Write(data, count);
  if (written != count) throw EABSException(*error_, {position, output_.Size(), count, written});
}

void TABSMetadataWriter::U8(uint8_t v) { Bytes(&v, 1); }

void TABSMetadataWriter::I32(int32_t v) {
  uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
  Bytes(b, 4);
}

void TABSMetadataWriter::I64(int64_t v) {
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
  Bytes(b, 8);
}

void TABSMetadataWriter::ShortName(const std::string& name) {
  if (name.size() > 255) throw std::out_of_range("Range check error");
  U8(static_cast<uint8_t>(name.size()));
  Bytes(name.data(), static_cast<int32_t>(name.size()));
}

void TABSMetadataWriter::Value(const TABSVariant& value) { value.SaveToStream(output_); }

void TABSMetadataReader::Fail(int64_t wanted, int64_t available) {
  throw EABSException(*error_, {input_.Position(), input_.Size(), wanted, available});
}

void TABSMetadataReader::Bytes(void* data, int32_t count) {
  int64_t position = input_.Position();
  int32_t read = input_.Read(data, count);
  if (read != count) throw EABSException(*error_, {position, input_.Size(), count, read});
}

uint8_t TABSMetadataReader::U8() {
  uint8_t v = 0;
  Bytes(&v, 1);
  return v;
}

int32_t TABSMetadataReader::I32() {
  uint8_t b[4];
  Bytes(b, 4);
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{b[i]} << (8 * i);
  return static_cast<int32_t>(v);
}

int64_t TABSMetadataReader::I64() {
  uint8_t b[8];
  Bytes(b, 8);
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= uint64_t{b[i]} << (8 * i);
  return static_cast<int64_t>(v);
}

std::string TABSMetadataReader::Chars(int64_t count) {
  if (count < 0 || count > Left()) Fail(count, Left());
  std::string text(static_cast<size_t>(count), '\0');
  if (count > 0) Bytes(text.data(), static_cast<int32_t>(count));
  return text;
}

std::string TABSMetadataReader::ShortName() { return Chars(U8()); }

void TABSMetadataReader::Value(TABSVariant* value) { value->LoadFromStream(input_); }

int32_t TABSMetadataReader::Count(int32_t min_item_size) {
  int32_t count = I32();
  if (count < 0 || static_cast<int64_t>(count) * min_item_size > Left()) {
    Fail(static_cast<int64_t>(count) * min_item_size, Left());
  }
  return count;
}

int32_t TABSStreamValueOutput::Write(const void* data, int32_t count) {
  return static_cast<int32_t>(stream_.Write(data, count));
}

int32_t TABSStreamValueInput::Read(void* data, int32_t count) {
  return static_cast<int32_t>(stream_.Read(data, count));
}

}  // namespace kelvorin
