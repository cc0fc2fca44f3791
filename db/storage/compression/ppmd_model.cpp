#include "db/storage/compression/ppmd_model.h"

#include <array>
#include <cstring>
#include <utility>

namespace kelvorin::ppmd {
namespace {

constexpr uint32_t kMaxFreq = 124;
constexpr int kIntBits = 7;
constexpr int kPeriodBits = 7;
constexpr uint32_t kInterval = 1u << kIntBits;
constexpr uint32_t kBinScale = 1u << 14;

constexpr uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                     0x64A1, 0x5ABC, 0x6632, 0x6051};
constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

struct Tables {
  std::array<uint8_t, 256> ns_to_index{};      // symbol count - 1 -> SEE row
  std::array<uint8_t, 256> ns_to_bs_index{};   // suffix symbol count - 1 -> binary slot
  std::array<uint8_t, 256> hb_to_flag{};       // symbol -> 0 or 8 (high bits set)
};

constexpr Tables MakeTables() {
  Tables t;
  t.ns_to_bs_index[0] = 0;
  t.ns_to_bs_index[1] = 2;
  for (int i = 2; i < 11; ++i) t.ns_to_bs_index[i] = 4;
  for (int i = 11; i < 256; ++i) t.ns_to_bs_index[i] = 6;
  int i = 0;
  for (; i < 3; ++i) t.ns_to_index[i] = static_cast<uint8_t>(i);
  for (int m = i, k = 1, step = 1; i < 256; ++i) {
    t.ns_to_index[i] = static_cast<uint8_t>(m);
    if (--k == 0) {
      k = ++step;
      ++m;
    }
  }
  for (int s = 0x40; s < 256; ++s) t.hb_to_flag[s] = 0x08;
  return t;
}

constexpr Tables kTables = MakeTables();

// Rounded mean used by the binary-context probabilities.
inline uint32_t GetMean(uint32_t summ) {
  return (summ + (1u << (kPeriodBits - 2))) >> kPeriodBits;
}

}  // namespace

void See2Context::Init(uint32_t value) {
  shift = kPeriodBits - 4;
  summ = static_cast<uint16_t>(value << shift);
  count = 4;
}

uint32_t See2Context::Mean() {
  uint32_t r = summ >> shift;
  summ = static_cast<uint16_t>(summ - r);
  return r + (r == 0);
}

void See2Context::Update() {
  if (shift < kPeriodBits && --count == 0) {
    summ = static_cast<uint16_t>(summ * 2);
    count = static_cast<uint8_t>(3 << shift++);
  }
}

Model::Model(uint8_t* arena, uint32_t arena_size, int max_order)
    : alloc_(arena, arena_size), max_order_(max_order) {
  Restart();
}

void Model::ClearMask() {
  esc_count_ = 1;
  std::memset(char_mask_, 0, sizeof(char_mask_));
}

void Model::Restart() {
  ClearMask();
  alloc_.Reset();
  init_rl_ = -(max_order_ < 12 ? max_order_ : 12) - 1;
  run_length_ = init_rl_;
  prev_success_ = 0;
  order_fall_ = max_order_;
  num_masked_ = 0;

  min_context_ = max_context_ = Ctx(alloc_.AllocContext());
  min_context_->set_suffix(0);
  min_context_->num_stats = 256;
  min_context_->summ_freq = 256 + 1;
  min_context_->set_stats(alloc_.AllocUnits(256 / 2));
  State* stats = Stats(min_context_);
  for (int i = 0; i < 256; ++i) {
    stats[i].symbol = static_cast<uint8_t>(i);
    stats[i].freq = 1;
    stats[i].set_successor(0);
  }
  found_state_ = stats;
  last_symbol_ = 0;

  for (int i = 0; i < 128; ++i) {
    for (int k = 0; k < 8; ++k) {
      uint16_t value = static_cast<uint16_t>(kBinScale - kInitBinEsc[k] / (i + 2));
      for (int m = 0; m < 64; m += 8) bin_summ_[i][k + m] = value;
    }
  }
  for (int i = 0; i < 25; ++i) {
    for (int k = 0; k < 16; ++k) see2_[i][k].Init(5 * i + 10);
  }
  dummy_see2_.shift = kPeriodBits;
  dummy_see2_.summ = 0;
  dummy_see2_.count = 64;
}

void Model::BeginSymbol() { hi_bits_flag_ = kTables.hb_to_flag[last_symbol_]; }

uint16_t& Model::BinSummFor(const State& state) {
  uint32_t suffix = min_context_->suffix();
  uint32_t suffix_stats = suffix != 0 ? Ctx(suffix)->num_stats : 1;
  uint32_t index = prev_success_ + kTables.ns_to_bs_index[suffix_stats - 1] + hi_bits_flag_ +
                   2u * kTables.hb_to_flag[state.symbol] +
                   ((static_cast<uint32_t>(run_length_) >> 26) & 0x20);
  return bin_summ_[state.freq - 1][index];
}

See2Context* Model::MakeEscFreq(uint32_t diff, uint32_t* esc_freq) {
  const Context* mc = min_context_;
  if (mc->num_stats == 256) {
    *esc_freq = 1;
    return &dummy_see2_;
  }
  uint32_t suffix = mc->suffix();
  uint32_t suffix_stats = suffix != 0 ? Ctx(suffix)->num_stats : 0;
  uint32_t index = (diff + mc->num_stats < suffix_stats) +
                   2u * (mc->summ_freq < 11u * mc->num_stats) + 4u * (num_masked_ > diff) +
                   hi_bits_flag_;
  See2Context* see = &see2_[kTables.ns_to_index[diff - 1]][index];
  *esc_freq = see->Mean();
  return see;
}

void Model::MaskAll(const Context* ctx) {
  const State* s = Stats(ctx);
  for (uint32_t i = 0; i < ctx->num_stats; ++i) char_mask_[s[i].symbol] = esc_count_;
  num_masked_ = ctx->num_stats;
  found_state_ = nullptr;
}

bool Model::EscapeToSuffix() {
  do {
    ++order_fall_;
    uint32_t suffix = min_context_->suffix();
    if (suffix == 0) return false;
    min_context_ = Ctx(suffix);
  } while (min_context_->num_stats <= num_masked_);
  return true;
}

void Model::UpdateFirst(State* s) {
  // The symbol with the largest count, first in its table.
  prev_success_ = 2u * s->freq > min_context_->summ_freq;
  run_length_ += prev_success_;
  found_state_ = s;
  s->freq = static_cast<uint8_t>(s->freq + 4);
  min_context_->summ_freq = static_cast<uint16_t>(min_context_->summ_freq + 4);
  if (s->freq > kMaxFreq) Rescale();
}

void Model::UpdateOther(State* s) {
  prev_success_ = 0;
  found_state_ = s;
  s->freq = static_cast<uint8_t>(s->freq + 4);
  min_context_->summ_freq = static_cast<uint16_t>(min_context_->summ_freq + 4);
  if (s[0].freq > s[-1].freq) {
    std::swap(s[0], s[-1]);
    found_state_ = --s;
    if (s->freq > kMaxFreq) Rescale();
  }
}

void Model::UpdateBinaryHit(State* s, uint16_t& prob) {
  found_state_ = s;
  s->freq = static_cast<uint8_t>(s->freq + (s->freq < 128));
  prob = static_cast<uint16_t>(prob + kInterval - GetMean(prob));
  prev_success_ = 1;
  ++run_length_;
}

void Model::UpdateBinaryEscape(State* s, uint16_t& prob) {
  prob = static_cast<uint16_t>(prob - GetMean(prob));
  init_esc_ = kExpEscape[prob >> 10];
  num_masked_ = 1;
  char_mask_[s->symbol] = esc_count_;
  prev_success_ = 0;
  found_state_ = nullptr;
}

void Model::UpdateMaskedHit(State* s, See2Context* see) {
  see->Update();
  found_state_ = s;
  s->freq = static_cast<uint8_t>(s->freq + 4);
  min_context_->summ_freq = static_cast<uint16_t>(min_context_->summ_freq + 4);
  if (s->freq > kMaxFreq) Rescale();
  ++esc_count_;
  run_length_ = init_rl_;
}

void Model::UpdateMaskedEscape(uint32_t total, See2Context* see) {
  see->summ = static_cast<uint16_t>(see->summ + total);
  MaskAll(min_context_);
}

void Model::NextContext() {
  last_symbol_ = found_state_->symbol;
  uint32_t successor = found_state_->successor();
  if (order_fall_ == 0 && successor >= alloc_.units_start()) {
    min_context_ = max_context_ = Ctx(successor);
  } else {
    UpdateModel();
    if (esc_count_ == 0) ClearMask();
  }
}

void Model::Rescale() {
  Context* mc = min_context_;
  State* stats = Stats(mc);
  uint32_t old_ns = mc->num_stats;
  for (State* p = found_state_; p != stats; --p) std::swap(p[0], p[-1]);
  stats->freq = static_cast<uint8_t>(stats->freq + 4);
  mc->summ_freq = static_cast<uint16_t>(mc->summ_freq + 4);
  uint32_t esc_freq = mc->summ_freq - stats->freq;
  uint32_t adder = order_fall_ != 0;
  stats->freq = static_cast<uint8_t>((stats->freq + adder) >> 1);
  uint32_t summ = stats->freq;
  for (uint32_t i = 1; i < old_ns; ++i) {
    State* p = stats + i;
    esc_freq -= p->freq;
    p->freq = static_cast<uint8_t>((p->freq + adder) >> 1);
    summ += p->freq;
    if (p->freq > p[-1].freq) {
      State moved = *p;
      State* q = p;
      do {
        q[0] = q[-1];
      } while (--q != stats && moved.freq > q[-1].freq);
      *q = moved;
    }
  }
  mc->summ_freq = static_cast<uint16_t>(summ);
  if (stats[old_ns - 1].freq == 0) {
    uint32_t zeros = 0;
    for (uint32_t i = old_ns; i > 1 && stats[i - 1].freq == 0; --i) ++zeros;
    esc_freq += zeros;
    uint32_t ns = old_ns - zeros;
    mc->num_stats = static_cast<uint16_t>(ns);
    if (ns == 1) {
      State only = *stats;
      do {
        only.freq = static_cast<uint8_t>(only.freq - (only.freq >> 1));
        esc_freq >>= 1;
      } while (esc_freq > 1);
      alloc_.FreeUnits(mc->stats(), (old_ns + 1) >> 1);
      mc->one_state() = only;
      found_state_ = &mc->one_state();
      return;
    }
    mc->set_stats(alloc_.ShrinkUnits(mc->stats(), (old_ns + 1) >> 1, (ns + 1) >> 1));
  }
  mc->summ_freq = static_cast<uint16_t>(mc->summ_freq + esc_freq - (esc_freq >> 1));
  found_state_ = Stats(mc);
}

uint32_t Model::CreateSuccessors(bool skip, State* p1) {
  Context* pc = min_context_;
  uint32_t up_branch = found_state_->successor();
  uint8_t symbol = found_state_->symbol;
  State* chain[kMaxOrder];
  int n = 0;
  if (!skip) {
    chain[n++] = found_state_;
    if (pc->suffix() == 0) goto no_loop;
  }
  {
    State* p = p1;
    if (p != nullptr) pc = Ctx(pc->suffix());
    for (;;) {
      if (p == nullptr) {
        pc = Ctx(pc->suffix());
        if (pc->num_stats != 1) {
          State* s = Stats(pc);
          uint32_t i = 0;
          while (i < pc->num_stats && s[i].symbol != symbol) ++i;
          if (i == pc->num_stats) return 0;
          p = s + i;
        } else {
          p = &pc->one_state();
        }
      }
      if (p->successor() != up_branch) {
        pc = Ctx(p->successor());
        break;
      }
      if (n == kMaxOrder) return 0;
      chain[n++] = p;
      p = nullptr;
      if (pc->suffix() == 0) break;
    }
  }
no_loop:
  if (n == 0) return Offset(pc);
  State up;
  up.symbol = alloc_.base()[up_branch];
  up.set_successor(up_branch + 1);
  if (pc->num_stats != 1) {
    State* s = Stats(pc);
    uint32_t i = 0;
    while (i < pc->num_stats && s[i].symbol != up.symbol) ++i;
    if (i == pc->num_stats) return 0;
    uint32_t cf = s[i].freq - 1u;
    uint32_t s0 = pc->summ_freq - pc->num_stats - cf;
    uint32_t inherited = (2 * cf <= s0) ? (5 * cf > s0)
                                        : (2 * cf + 3 * s0 - 1) / (2 * (s0 != 0 ? s0 : 1));
    up.freq = static_cast<uint8_t>(1 + inherited);
  } else {
    up.freq = pc->one_state().freq;
  }
  do {
    uint32_t offset = alloc_.AllocContext();
    if (offset == 0) return 0;
    Context* ctx = Ctx(offset);
    ctx->num_stats = 1;
    ctx->one_state() = up;
    ctx->set_suffix(Offset(pc));
    pc = ctx;
    chain[--n]->set_successor(offset);
  } while (n != 0);
  return Offset(pc);
}

void Model::UpdateModel() {
  State fs = *found_state_;
  State* p = nullptr;
  if (fs.freq < kMaxFreq / 4 && min_context_->suffix() != 0) {
    Context* pc = Ctx(min_context_->suffix());
    if (pc->num_stats != 1) {
      p = Stats(pc);
      if (p->symbol != fs.symbol) {
        State* end = p + pc->num_stats;
        do {
          ++p;
        } while (p != end && p->symbol != fs.symbol);
        if (p == end) {
          p = nullptr;
        } else if (p[0].freq >= p[-1].freq) {
          std::swap(p[0], p[-1]);
          --p;
        }
      }
      if (p != nullptr && p->freq < kMaxFreq - 9) {
        p->freq = static_cast<uint8_t>(p->freq + 2);
        pc->summ_freq = static_cast<uint16_t>(pc->summ_freq + 2);
      }
    } else {
      p = &pc->one_state();
      p->freq = static_cast<uint8_t>(p->freq + (p->freq < 32));
    }
  }

  if (order_fall_ == 0) {
    uint32_t ctx = CreateSuccessors(true, p);
    if (ctx == 0) return Restart();
    min_context_ = max_context_ = Ctx(ctx);
    found_state_->set_successor(ctx);
    return;
  }

  if (!alloc_.AppendText(fs.symbol)) return Restart();
  uint32_t successor = alloc_.text();
  uint32_t fs_successor = fs.successor();
  if (fs_successor != 0) {
    if (fs_successor < alloc_.units_start()) {
      fs_successor = CreateSuccessors(false, p);
      if (fs_successor == 0) return Restart();
    }
    if (--order_fall_ == 0) {
      successor = fs_successor;
      if (max_context_ != min_context_) alloc_.UnAppendText();
    }
  } else {
    found_state_->set_successor(successor);
    fs_successor = Offset(min_context_);
  }

  uint32_t ns = min_context_->num_stats;
  uint32_t s0 = min_context_->summ_freq - ns - (fs.freq - 1u);
  for (Context* pc = max_context_; pc != min_context_; pc = Ctx(pc->suffix())) {
    uint32_t ns1 = pc->num_stats;
    if (ns1 != 1) {
      if ((ns1 & 1) == 0) {
        uint32_t stats = alloc_.ExpandUnits(pc->stats(), ns1 >> 1);
        if (stats == 0) return Restart();
        pc->set_stats(stats);
      }
      pc->summ_freq = static_cast<uint16_t>(
          pc->summ_freq + (2 * ns1 < ns) + 2 * ((4 * ns1 <= ns) & (pc->summ_freq <= 8 * ns1)));
    } else {
      uint32_t stats = alloc_.AllocUnits(1);
      if (stats == 0) return Restart();
      State only = pc->one_state();
      pc->set_stats(stats);
      State* s = Stats(pc);
      *s = only;
      if (s->freq < kMaxFreq / 4 - 1) {
        s->freq = static_cast<uint8_t>(s->freq * 2);
      } else {
        s->freq = kMaxFreq - 4;
      }
      pc->summ_freq = static_cast<uint16_t>(s->freq + init_esc_ + (ns > 3));
    }
    uint32_t cf = 2u * fs.freq * (pc->summ_freq + 6);
    uint32_t sf = s0 + pc->summ_freq;
    if (cf < 6 * sf) {
      cf = 1 + (cf > sf) + (cf >= 4 * sf);
      pc->summ_freq = static_cast<uint16_t>(pc->summ_freq + 3);
    } else {
      cf = 4 + (cf >= 9 * sf) + (cf >= 12 * sf) + (cf >= 15 * sf);
      pc->summ_freq = static_cast<uint16_t>(pc->summ_freq + cf);
    }
    State* s = Stats(pc) + ns1;
    s->set_successor(successor);
    s->symbol = fs.symbol;
    s->freq = static_cast<uint8_t>(cf);
    pc->num_stats = static_cast<uint16_t>(ns1 + 1);
  }
  max_context_ = min_context_ = Ctx(fs_successor);
}

}  // namespace kelvorin::ppmd
