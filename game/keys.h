#pragma once
// The key codes the game reads (the polled keyboard's Windows-style virtual key codes).

#include <cstdint>

constexpr int32_t kKeyEscape = 27;
constexpr int32_t kKeySpace = 32;
constexpr int32_t kKeyLeft = 37;
constexpr int32_t kKeyUp = 38;
constexpr int32_t kKeyRight = 39;
constexpr int32_t kKeyLeftControl = 162;
constexpr int32_t kKeyLeftAlt = 164;
