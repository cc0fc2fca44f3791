// The engine's CRC-32: the reflected table of polynomial 0xEDB88320, starting
// from 0 and with no final inversion (so "abc" gives 0xCA6598D0). It guards
// the password check block, encrypted page data and the rollback journal.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvorin {

// Continues a running checksum over size more bytes.
uint32_t AbsCrc32(const void* data, size_t size, uint32_t crc = 0);

}  // namespace kelvorin
