// Little-endian access to the integers and floats of stored bytes. Every
// structure the engine keeps in a file (headers, pages, stream settings,
// record buffers) is little-endian whatever the host, and every reader and
// writer goes through these two templates, so unaligned addresses are fine.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace kelvorin {

template <typename T>
T LoadLE(const void* p) {
  static_assert(std::is_arithmetic_v<T>);
  if constexpr (std::endian::native == std::endian::little || sizeof(T) == 1) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
  } else {
    using U = std::conditional_t<sizeof(T) == 2, uint16_t,
                                 std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>;
    const auto* b = static_cast<const uint8_t*>(p);
    U u = 0;
    for (size_t i = 0; i < sizeof(T); ++i) u |= static_cast<U>(static_cast<U>(b[i]) << (8 * i));
    return std::bit_cast<T>(u);
  }
}

template <typename T>
void StoreLE(void* p, T v) {
  static_assert(std::is_arithmetic_v<T>);
  if constexpr (std::endian::native == std::endian::little || sizeof(T) == 1) {
    std::memcpy(p, &v, sizeof v);
  } else {
    using U = std::conditional_t<sizeof(T) == 2, uint16_t,
                                 std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>;
    U u = std::bit_cast<U>(v);
    auto* b = static_cast<uint8_t*>(p);
    for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
  }
}

}  // namespace kelvorin
