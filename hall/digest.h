#pragma once
// The SHA-256 of some bytes as 64 lower-case hex digits (OpenSSL's libcrypto).

#include <cstdint>
#include <string>
#include <vector>

std::string sha256_hex(const std::vector<uint8_t>& bytes);
