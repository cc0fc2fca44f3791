// Loading a memory page manager from arbitrary bytes: every outcome is a
// loaded manager whose pages can be read and saved again, or an engine
// error that leaves the manager as it was; never a crash, a hang or a huge
// allocation.
#include <cstdint>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_hold.h"
#include "db/storage/streams/memory_stream.h"
#include "db/storage/temporary/memory_page_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvorin;
  TABSMemoryStream stream;
  if (size > 0) stream.Write(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
  TABSMemoryPageManager pages;
  try {
    pages.LoadFromStream(stream);
  } catch (const EABSException&) {
    if (pages.AllocatedPageCount() != 0) __builtin_trap();
    return 0;
  }
  for (int32_t page_no = 0; page_no <= pages.HighestPageNo(); ++page_no) {
    try {
      TABSPageHold page = TABSPageHold::Get(pages, 0, page_no, kAnyPageType);
    } catch (const EABSException&) {
      // A free number.
    }
  }
  TABSMemoryStream saved;
  pages.SaveToStream(saved);
  if (saved.Size() != static_cast<int64_t>(size) - (stream.Size() - stream.Position())) __builtin_trap();
  return 0;
}
