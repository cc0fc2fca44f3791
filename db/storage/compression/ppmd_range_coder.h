// The range coder under the PPM compressor: a byte-oriented arithmetic coder
// with a 32-bit range kept at 2^24 or more and carry propagation through a
// cached byte, so every frequency total up to 2^16 keeps at least 8 bits of
// precision. The encoder writes into a growable sink; the decoder reads a
// bounded buffer and records an overrun instead of reading past its end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvorin::ppmd {

// Where encoded bytes go. Grow() is asked for more room when the buffer is
// full; it returns false when no more room can be had.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Makes room for at least one more byte after `used` bytes; may move data().
  virtual bool Grow(size_t used) = 0;
  uint8_t* data() const { return data_; }
  size_t capacity() const { return capacity_; }

 protected:
  uint8_t* data_ = nullptr;
  size_t capacity_ = 0;
};

class RangeEncoder {
 public:
  explicit RangeEncoder(ByteSink* sink) : sink_(sink) {}

  void Encode(uint32_t start, uint32_t size, uint32_t total) {
    uint32_t r = range_ / total;
    low_ += uint64_t{start} * r;
    range_ = size * r;
    Normalize();
  }
  // Codes a binary event whose probability of bit 0 is prob / 2^14.
  void EncodeBit(uint32_t prob, int bit) {
    uint32_t bound = (range_ >> 14) * prob;
    if (bit == 0) {
      range_ = bound;
    } else {
      low_ += bound;
      range_ -= bound;
    }
    Normalize();
  }
  void Flush() {
    for (int i = 0; i < 5; ++i) ShiftLow();
  }
  size_t size() const { return used_; }
  bool failed() const { return failed_; }

 private:
  static constexpr uint32_t kTop = 1u << 24;

  void Normalize() {
    while (range_ < kTop) {
      range_ <<= 8;
      ShiftLow();
    }
  }
  void ShiftLow() {
    if (static_cast<uint32_t>(low_) < 0xFF000000u || (low_ >> 32) != 0) {
      uint8_t carry = static_cast<uint8_t>(low_ >> 32);
      uint8_t byte = cache_;
      do {
        Put(static_cast<uint8_t>(byte + carry));
        byte = 0xFF;
      } while (--cache_size_ != 0);
      cache_ = static_cast<uint8_t>(static_cast<uint32_t>(low_) >> 24);
    }
    ++cache_size_;
    low_ = static_cast<uint32_t>(low_) << 8;
  }
  void Put(uint8_t byte) {
    if (used_ == sink_->capacity() && (failed_ || !sink_->Grow(used_))) {
      failed_ = true;
      return;
    }
    sink_->data()[used_++] = byte;
  }

  ByteSink* sink_;
  uint64_t low_ = 0;
  uint32_t range_ = 0xFFFFFFFFu;
  uint8_t cache_ = 0;
  uint64_t cache_size_ = 1;
  size_t used_ = 0;
  bool failed_ = false;
};

class RangeDecoder {
 public:
  RangeDecoder(const uint8_t* data, size_t size) : data_(data), size_(size) {
    // The encoder's first byte is always the empty cache.
    if (Next() != 0) overrun_ = true;
    for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | Next();
  }

  // The cumulative count of the next symbol under `total`; callers check it
  // against the total, since damaged input can give any value.
  uint32_t GetFreq(uint32_t total) {
    range_ /= total;
    return code_ / range_;
  }
  void Decode(uint32_t start, uint32_t size) {
    code_ -= start * range_;
    range_ *= size;
    Normalize();
  }
  int DecodeBit(uint32_t prob) {
    uint32_t bound = (range_ >> 14) * prob;
    int bit;
    if (code_ < bound) {
      range_ = bound;
      bit = 0;
    } else {
      code_ -= bound;
      range_ -= bound;
      bit = 1;
    }
    Normalize();
    return bit;
  }
  // True when the input ran out (or did not start like an encoder's output).
  bool overrun() const { return overrun_; }

 private:
  static constexpr uint32_t kTop = 1u << 24;

  void Normalize() {
    while (range_ < kTop) {
      range_ <<= 8;
      code_ = (code_ << 8) | Next();
    }
  }
  uint8_t Next() {
    if (pos_ < size_) return data_[pos_++];
    overrun_ = true;
    return 0;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  uint32_t code_ = 0;
  uint32_t range_ = 0xFFFFFFFFu;
  bool overrun_ = false;
};

}  // namespace kelvorin::ppmd
