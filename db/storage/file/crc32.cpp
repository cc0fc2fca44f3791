#include "db/storage/file/crc32.h"

#include <array>
#include <cstring>

namespace kelvorin {

namespace {

// Table k gives the CRC of a byte followed by k zero bytes, so eight bytes
// are folded in per step ("slicing by eight") with the same result as the
// byte-at-a-time loop.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

uint32_t AbsCrc32(const void* data, size_t size, uint32_t crc) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size >= 8) {
    const uint32_t low = crc ^ (uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                                (uint32_t{p[3]} << 24));
    crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
          kTables[4][low >> 24] ^ kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^
          kTables[0][p[7]];
    p += 8;
    size -= 8;
  }
  while (size-- > 0) crc = (crc >> 8) ^ kTables[0][(crc ^ *p++) & 0xFF];
  return crc;
}

}  // namespace kelvorin
