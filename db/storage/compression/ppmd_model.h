// The context model of the PPM compressor (PPMd variant G, "PPMII"): a tree
// of contexts up to the maximum order, each holding the symbols seen after it
// with their counts and a link to its suffix context. Symbols are coded in the
// longest context first and escape to shorter ones; new contexts inherit
// their first count from the shorter context, binary contexts (one symbol)
// and escapes are coded with adaptive secondary estimates, and the whole model
// restarts when its memory is exhausted. The encoder and decoder derive from
// this class and share every update, so they stay in step bit for bit.
#pragma once

#include <cstdint>

#include "db/storage/compression/ppmd_allocator.h"

namespace kelvorin::ppmd {

inline constexpr int kMaxOrder = 64;

// One symbol of a context: 6 bytes, 2-byte aligned.
struct State {
  uint8_t symbol;
  uint8_t freq;
  uint16_t successor_lo;
  uint16_t successor_hi;

  uint32_t successor() const { return successor_lo | (uint32_t{successor_hi} << 16); }
  void set_successor(uint32_t v) {
    successor_lo = static_cast<uint16_t>(v);
    successor_hi = static_cast<uint16_t>(v >> 16);
  }
};

// One context: exactly one 12-byte unit. A context with one symbol keeps it
// in place of the summary count and the table link.
struct Context {
  uint16_t num_stats;
  uint16_t summ_freq;
  uint16_t stats_lo;
  uint16_t stats_hi;
  uint16_t suffix_lo;
  uint16_t suffix_hi;

  uint32_t stats() const { return stats_lo | (uint32_t{stats_hi} << 16); }
  void set_stats(uint32_t v) {
    stats_lo = static_cast<uint16_t>(v);
    stats_hi = static_cast<uint16_t>(v >> 16);
  }
  uint32_t suffix() const { return suffix_lo | (uint32_t{suffix_hi} << 16); }
  void set_suffix(uint32_t v) {
    suffix_lo = static_cast<uint16_t>(v);
    suffix_hi = static_cast<uint16_t>(v >> 16);
  }
  State& one_state() { return *reinterpret_cast<State*>(&summ_freq); }
};

static_assert(sizeof(State) == 6 && sizeof(Context) == kUnitSize);

// Secondary escape estimation: an adaptive mean of the escape frequency seen
// in contexts of one kind.
struct See2Context {
  uint16_t summ;
  uint8_t shift;
  uint8_t count;

  void Init(uint32_t value);
  uint32_t Mean();
  void Update();
};

class Model {
 protected:
  Model(uint8_t* arena, uint32_t arena_size, int max_order);

  Context* Ctx(uint32_t offset) const { return reinterpret_cast<Context*>(alloc_.base() + offset); }
  State* Stats(const Context* ctx) const {
    return reinterpret_cast<State*>(alloc_.base() + ctx->stats());
  }
  uint32_t Offset(const void* p) const {
    return static_cast<uint32_t>(static_cast<const uint8_t*>(p) - alloc_.base());
  }

  void Restart();
  void ClearMask();
  // Starts a symbol: remembers the high-bits flag of the previous one.
  void BeginSymbol();
  // The probability slot for a binary context.
  uint16_t& BinSummFor(const State& state);
  See2Context* MakeEscFreq(uint32_t diff, uint32_t* esc_freq);
  // Moves to the next context after the found symbol, updating the model.
  void NextContext();

  // Count updates after a hit in the first context (first or later symbol),
  // a binary context and a masked (escaped-to) context.
  void UpdateFirst(State* state);
  void UpdateOther(State* state);
  void UpdateBinaryHit(State* state, uint16_t& prob);
  void UpdateBinaryEscape(State* state, uint16_t& prob);
  void UpdateMaskedHit(State* state, See2Context* see);
  void UpdateMaskedEscape(uint32_t total, See2Context* see);
  void MaskAll(const Context* ctx);
  // After an escape: the next shorter context with unmasked symbols, or none.
  bool EscapeToSuffix();
  bool IsMasked(uint8_t symbol) const { return char_mask_[symbol] == esc_count_; }

  UnitAllocator alloc_;
  Context* min_context_ = nullptr;
  Context* max_context_ = nullptr;
  State* found_state_ = nullptr;
  uint32_t num_masked_ = 0;
  uint32_t init_esc_ = 0;
  int order_fall_ = 0;
  int run_length_ = 0;
  int init_rl_ = 0;
  int max_order_;
  uint8_t esc_count_ = 0;
  uint8_t prev_success_ = 0;
  uint8_t hi_bits_flag_ = 0;
  uint8_t last_symbol_ = 0;
  uint8_t char_mask_[256];

 private:
  void UpdateModel();
  void Rescale();
  uint32_t CreateSuccessors(bool skip, State* p1);

  uint16_t bin_summ_[128][64];
  See2Context see2_[25][16];
  See2Context dummy_see2_;
};

}  // namespace kelvorin::ppmd
