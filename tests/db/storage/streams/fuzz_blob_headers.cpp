// The block-header loader and block reader of the compressed BLOB stream on
// arbitrary settings and containers: every outcome is a stream or an engine
// error, never a crash, a hang or a huge allocation.
#include <cstdint>
#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/streams/compressed_blob_stream.h"
#include "db/storage/streams/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvorin;
  constexpr size_t kSettings = TABSCompressedStreamSettings::kStoredSize;
  if (size < kSettings + 1) return 0;
  TABSCompressedStreamSettings settings = TABSCompressedStreamSettings::Load(data);
  // Keep blocks small: a large block size is a legal, and so a large,
  // allocation.
  if (settings.block_size > (1 << 16)) settings.block_size &= 0xFFFF;
  bool tolerate = data[kSettings] & 1;
  TABSMemoryStream container;
  container.Write(data + kSettings + 1, static_cast<int64_t>(size - kSettings - 1));
  try {
    TABSCompressedBLOBStream blob(container, tolerate, false, settings);
    uint8_t buffer[4096];
    blob.SetPosition(0);
    while (blob.Read(buffer, sizeof(buffer)) > 0) {
    }
    if (blob.Size() > 0) {
      blob.SetSize(blob.Size() / 2);
      blob.Write(buffer, 10);
    }
  } catch (const EABSException&) {
  }
  return 0;
}
