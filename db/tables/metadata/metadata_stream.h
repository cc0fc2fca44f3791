// Reading and writing the stored metadata block: little-endian integers,
// names and values over the value streams, every failure raised as the
// stream error with the code of the section being read or written. The
// reader checks every count and length against the bytes left before
// anything is allocated for it.
#pragma once

#include <cstdint>
#include <string>

#include "db/storage/errors/native_errors.h"
#include "db/storage/streams/stream.h"
#include "db/tables/values/value_stream.h"

namespace kelvorin {

class TABSVariant;

class TABSMetadataWriter {
 public:
  TABSMetadataWriter(TABSValueOutput& output, const TABSNativeError& error)
      : output_(output), error_(&error) {}

  // The section whose code later failures carry.
  void SetSection(const TABSNativeError& error) { error_ = &error; }

  void U8(uint8_t v);
  void Bool(bool v) { U8(v ? 0xFF : 0); }
  void I32(int32_t v);
  void I64(int64_t v);
  void Bytes(const void* data, int32_t count);
  // Length byte and characters.
  void ShortName(const std::string& name);
  void Value(const TABSVariant& value);

 private:
  TABSValueOutput& output_;
  const TABSNativeError* error_;
};

class TABSMetadataReader {
 public:
  TABSMetadataReader(TABSValueInput& input, const TABSNativeError& error)
      : input_(input), error_(&error) {}

  void SetSection(const TABSNativeError& error) { error_ = &error; }

  uint8_t U8();
  bool Bool() { return U8() != 0; }
  int32_t I32();
  int64_t I64();
  void Bytes(void* data, int32_t count);
  std::string ShortName();
  // `count` bytes of a name whose length was read separately.
  std::string Chars(int64_t count);
  void Value(TABSVariant* value);
  // A count of items of at least `min_item_size` bytes each; raises the
  // stream error when so many cannot be left in the input.
  int32_t Count(int32_t min_item_size);
  int64_t Left() const { return input_.Size() - input_.Position(); }
  // Raises the stream error for `wanted` bytes of which only `available` are usable.
  [[noreturn]] void Fail(int64_t wanted, int64_t available);

 private:
  TABSValueInput& input_;
  const TABSNativeError* error_;
};

// The value streams over an engine stream, for metadata kept in a stream.
class TABSStreamValueOutput : public TABSValueOutput {
 public:
  explicit TABSStreamValueOutput(TABSStream& stream) : stream_(stream) {}
  int32_t Write(const void* data, int32_t count) override;
  int64_t Position() const override { return stream_.Position(); }
  int64_t Size() const override { return stream_.Size(); }

 private:
  TABSStream& stream_;
};

class TABSStreamValueInput : public TABSValueInput {
 public:
  explicit TABSStreamValueInput(TABSStream& stream) : stream_(stream) {}
  int32_t Read(void* data, int32_t count) override;
  int64_t Position() const override { return stream_.Position(); }
  int64_t Size() const override { return stream_.Size(); }

 private:
  TABSStream& stream_;
};

}  // namespace kelvorin
