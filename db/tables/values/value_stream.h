// The byte streams a value's stream form is written to and read from. The
// engine's streams and plain memory buffers both adapt to these.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvorin {

class TABSValueOutput {
 public:
  virtual ~TABSValueOutput() = default;
  // Writes up to `count` bytes and returns how many were written.
  virtual int32_t Write(const void* data, int32_t count) = 0;
  virtual int64_t Position() const = 0;
  virtual int64_t Size() const = 0;
};

class TABSValueInput {
 public:
  virtual ~TABSValueInput() = default;
  // Reads up to `count` bytes and returns how many were read.
  virtual int32_t Read(void* data, int32_t count) = 0;
  virtual int64_t Position() const = 0;
  // Total size, so that sizes read from the stream can be checked before
  // anything is allocated for them.
  virtual int64_t Size() const = 0;
};

// Appends to a string.
class TABSStringValueOutput : public TABSValueOutput {
 public:
  explicit TABSStringValueOutput(std::string* bytes) : bytes_(bytes) {}
  int32_t Write(const void* data, int32_t count) override;
  int64_t Position() const override { return static_cast<int64_t>(bytes_->size()); }
  int64_t Size() const override { return static_cast<int64_t>(bytes_->size()); }

 private:
  std::string* bytes_;
};

// Reads from a buffer it does not own.
class TABSBufferValueInput : public TABSValueInput {
 public:
  explicit TABSBufferValueInput(std::string_view bytes) : bytes_(bytes) {}
  int32_t Read(void* data, int32_t count) override;
  int64_t Position() const override { return static_cast<int64_t>(position_); }
  int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }

 private:
  std::string_view bytes_;
  size_t position_ = 0;
};

}  // namespace kelvorin
