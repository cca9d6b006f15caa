#pragma once
// The bits of one trivially copyable value read as another type of the same size: what
// std::bit_cast does, for the C++ libraries that still lack it (Emscripten's).

#include <type_traits>

template <typename To, typename From>
constexpr To BitCast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From), "BitCast needs types of one size");
  static_assert(std::is_trivially_copyable_v<To> && std::is_trivially_copyable_v<From>);
  return __builtin_bit_cast(To, from);
}
