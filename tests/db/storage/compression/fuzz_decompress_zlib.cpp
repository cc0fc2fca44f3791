// Fuzz target: the ZLIB decompressor on arbitrary or damaged input.
#include "tests/db/storage/compression/fuzz_decompress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvorin::fuzz::DecompressInput(1, 6, data, size);
  return 0;
}
