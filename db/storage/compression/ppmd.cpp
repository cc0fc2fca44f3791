#include "db/storage/compression/ppmd.h"

#include "db/storage/compression/ppmd_model.h"

namespace kelvorin::ppmd {
namespace {

constexpr ModelSettings kLevels[kMaxLevel] = {
    {2, 2}, {3, 3}, {4, 7}, {5, 16}, {7, 22}, {8, 25}, {10, 40}, {13, 100}, {16, 100}};

// Codes one symbol, or the end marker when symbol is negative.
class Encoder : private Model {
 public:
  Encoder(uint8_t* arena, uint32_t arena_size, int order, ByteSink* sink)
      : Model(arena, arena_size, order), coder_(sink) {}

  bool Run(const uint8_t* input, size_t size) {
    for (size_t i = 0; i < size && !coder_.failed(); ++i) EncodeSymbol(input[i]);
    EncodeSymbol(-1);
    coder_.Flush();
    return !coder_.failed();
  }
  size_t size() const { return coder_.size(); }

 private:
  void EncodeSymbol(int symbol) {
    BeginSymbol();
    if (min_context_->num_stats != 1) {
      EncodeFirst(symbol);
    } else {
      EncodeBinary(symbol);
    }
    while (found_state_ == nullptr) {
      if (!EscapeToSuffix()) return;  // the end marker has been coded
      EncodeMasked(symbol);
    }
    NextContext();
  }

  void EncodeFirst(int symbol) {
    State* s = Stats(min_context_);
    uint32_t summ = min_context_->summ_freq;
    if (s->symbol == symbol) {
      coder_.Encode(0, s->freq, summ);
      UpdateFirst(s);
      return;
    }
    uint32_t low = s->freq;
    for (uint32_t i = 1; i < min_context_->num_stats; ++i) {
      ++s;
      if (s->symbol == symbol) {
        coder_.Encode(low, s->freq, summ);
        UpdateOther(s);
        return;
      }
      low += s->freq;
    }
    coder_.Encode(low, summ - low, summ);
    prev_success_ = 0;
    MaskAll(min_context_);
  }

  void EncodeBinary(int symbol) {
    State* s = &min_context_->one_state();
    uint16_t& prob = BinSummFor(*s);
    if (s->symbol == symbol) {
      coder_.EncodeBit(prob, 0);
      UpdateBinaryHit(s, prob);
    } else {
      coder_.EncodeBit(prob, 1);
      UpdateBinaryEscape(s, prob);
    }
  }

  void EncodeMasked(int symbol) {
    uint32_t esc_freq;
    See2Context* see = MakeEscFreq(min_context_->num_stats - num_masked_, &esc_freq);
    State* s = Stats(min_context_);
    State* hit = nullptr;
    uint32_t low = 0;
    uint32_t high = 0;
    for (uint32_t i = 0; i < min_context_->num_stats; ++i) {
      if (IsMasked(s[i].symbol)) continue;
      if (s[i].symbol == symbol) {
        hit = s + i;
        low = high;
      }
      high += s[i].freq;
    }
    uint32_t total = high + esc_freq;
    if (hit != nullptr) {
      coder_.Encode(low, hit->freq, total);
      UpdateMaskedHit(hit, see);
    } else {
      coder_.Encode(high, esc_freq, total);
      UpdateMaskedEscape(total, see);
    }
  }

  RangeEncoder coder_;
};

class Decoder : private Model {
 public:
  Decoder(uint8_t* arena, uint32_t arena_size, int order, const uint8_t* code, size_t size)
      : Model(arena, arena_size, order), coder_(code, size) {}

  bool Run(uint8_t* output, size_t capacity, size_t* out_size) {
    size_t n = 0;
    for (;;) {
      int symbol = DecodeSymbol();
      if (symbol == kBroken || coder_.overrun()) return false;
      if (symbol == kEnd) break;
      if (n == capacity) return false;
      output[n++] = static_cast<uint8_t>(symbol);
    }
    *out_size = n;
    return true;
  }

 private:
  static constexpr int kEnd = -1;
  static constexpr int kBroken = -2;

  int DecodeSymbol() {
    BeginSymbol();
    if (min_context_->num_stats != 1) {
      if (!DecodeFirst()) return kBroken;
    } else {
      DecodeBinary();
    }
    while (found_state_ == nullptr) {
      if (!EscapeToSuffix()) return kEnd;
      if (!DecodeMasked()) return kBroken;
    }
    int symbol = found_state_->symbol;
    NextContext();
    return symbol;
  }

  bool DecodeFirst() {
    State* s = Stats(min_context_);
    uint32_t summ = min_context_->summ_freq;
    if (summ == 0) return false;
    uint32_t count = coder_.GetFreq(summ);
    if (count >= summ) return false;
    uint32_t high = s->freq;
    if (count < high) {
      coder_.Decode(0, high);
      UpdateFirst(s);
      return true;
    }
    for (uint32_t i = 1; i < min_context_->num_stats; ++i) {
      ++s;
      high += s->freq;
      if (high > count) {
        coder_.Decode(high - s->freq, s->freq);
        UpdateOther(s);
        return true;
      }
    }
    coder_.Decode(high, summ - high);
    prev_success_ = 0;
    MaskAll(min_context_);
    return true;
  }

  void DecodeBinary() {
    State* s = &min_context_->one_state();
    uint16_t& prob = BinSummFor(*s);
    if (coder_.DecodeBit(prob) == 0) {
      UpdateBinaryHit(s, prob);
    } else {
      UpdateBinaryEscape(s, prob);
    }
  }

  bool DecodeMasked() {
    uint32_t esc_freq;
    See2Context* see = MakeEscFreq(min_context_->num_stats - num_masked_, &esc_freq);
    State* s = Stats(min_context_);
    uint32_t ns = min_context_->num_stats;
    if (ns > 256) return false;  // no context holds a symbol twice
    // The unmasked symbols, in table order, so that the search for the
    // decoded one does not test the mask again.
    State* candidates[256];
    uint32_t found = 0;
    uint32_t high = 0;
    for (uint32_t i = 0; i < ns; ++i) {
      if (IsMasked(s[i].symbol)) continue;
      high += s[i].freq;
      candidates[found++] = s + i;
    }
    uint32_t total = high + esc_freq;
    uint32_t count = coder_.GetFreq(total);
    if (count >= total) return false;
    if (count >= high) {
      coder_.Decode(high, esc_freq);
      UpdateMaskedEscape(total, see);
      return true;
    }
    uint32_t low = 0;
    for (uint32_t i = 0;; ++i) {
      State* candidate = candidates[i];
      if (low + candidate->freq > count) {
        coder_.Decode(low, candidate->freq);
        UpdateMaskedHit(candidate, see);
        return true;
      }
      low += candidate->freq;
    }
  }

  RangeDecoder coder_;
};

}  // namespace

bool SettingsOfLevel(int level, ModelSettings* settings) {
  if (level < kMinLevel || level > kMaxLevel) return false;
  *settings = kLevels[level - 1];
  return true;
}

uint32_t HeaderWord(const ModelSettings& settings) {
  return (static_cast<uint32_t>(settings.memory_mb - 1) << 4) |
         static_cast<uint32_t>(settings.order - 1) | 0x6000u;
}

bool SettingsOfHeader(uint32_t word, ModelSettings* settings) {
  if ((word & 0xFFFFF000u) != 0x6000u) return false;
  settings->order = static_cast<int>(word & 0x0F) + 1;
  settings->memory_mb = static_cast<int>((word >> 4) & 0xFF) + 1;
  return true;
}

size_t Encode(const uint8_t* input, size_t size, const ModelSettings& settings, uint8_t* arena,
              ByteSink* sink) {
  while (sink->capacity() < kHeaderSize) {
    if (!sink->Grow(sink->capacity())) return 0;
  }
  uint32_t word = HeaderWord(settings);
  for (size_t i = 0; i < kHeaderSize; ++i) sink->data()[i] = static_cast<uint8_t>(word >> (8 * i));

  // The coder writes after the header through a view that shifts it by four.
  class ShiftedSink : public ByteSink {
   public:
    explicit ShiftedSink(ByteSink* outer) : outer_(outer) { Sync(); }
    bool Grow(size_t used) override {
      if (!outer_->Grow(used + kHeaderSize)) return false;
      Sync();
      return true;
    }

   private:
    void Sync() {
      data_ = outer_->data() + kHeaderSize;
      capacity_ = outer_->capacity() - kHeaderSize;
    }
    ByteSink* outer_;
  } shifted(sink);

  Encoder encoder(arena, ArenaSize(settings), settings.order, &shifted);
  if (!encoder.Run(input, size)) return 0;
  return kHeaderSize + encoder.size();
}

bool Decode(const uint8_t* code, size_t size, const ModelSettings& settings, uint8_t* arena,
            uint8_t* output, size_t capacity, size_t* out_size) {
  Decoder decoder(arena, ArenaSize(settings), settings.order, code, size);
  return decoder.Run(output, capacity, out_size);
}

}  // namespace kelvorin::ppmd
