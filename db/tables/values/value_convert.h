// Conversion of one value between storage types (the engine's casting
// rules). Strings carry their terminator; BLOB data is raw bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/storage/memory/memory_manager.h"
#include "db/tables/values/field_types.h"
#include "db/tables/values/value_encoding.h"

namespace kelvorin {

// Converts `size` bytes of a value of type `from` into a new buffer of type
// `to` (the block's size is the value's data size). A size of -1 takes the
// value's natural size: the fixed size of its type, or the terminated
// string. Raises 30052 for a pair that cannot be converted, 30051 when a
// supported conversion fails (parse error, value out of range).
TABSMemoryBlock ConvertValue(const void* data, int32_t size, TABSStorageType from,
                             TABSStorageType to);

// Whether a text says a truth value ("1", "0", TRUE or FALSE in any letter
// case): every other text converts to false without saying so.
bool TextNamesTruthValue(std::string_view text);

// Bytes of a terminated string value within at most `size` bytes (-1: no
// bound), without the terminator; wide strings count code units.
size_t AnsiLength(const void* data, int32_t size);
size_t WideLength(const void* data, int32_t size);

// The text of a string value as 8-bit or wide text (wide text is converted
// through the system code page).
std::string AnsiTextOf(const void* data, int32_t size, TABSStorageType type);
std::u16string WideTextOf(const void* data, int32_t size, TABSStorageType type);

// Buffers holding a terminated string value.
TABSMemoryBlock MakeAnsiValue(std::string_view text);
TABSMemoryBlock MakeWideValue(std::u16string_view text);

// A buffer holding one fixed-size value in its little-endian encoding.
template <typename T>
TABSMemoryBlock MakeFixedValue(T value) {
  TABSMemoryBlock block(sizeof(T));
  StoreLE<T>(block.data(), value);
  return block;
}

// Raises the conversion error (30051, the type to itself) when a known size
// (not -1) is smaller than the fixed size of `type`: such a buffer, from a
// damaged record for example, must not be read past its end.
void CheckFixedValueSize(int32_t size, TABSStorageType type);

}  // namespace kelvorin
