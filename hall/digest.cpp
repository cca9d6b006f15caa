#include "hall/digest.h"

#include <openssl/evp.h>

#include <stdexcept>

std::string sha256_hex(const std::vector<uint8_t>& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("sha256: the digest could not be made");
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned int index = 0; index < length; ++index) {
    text += kHex[digest[index] >> 4];
    text += kHex[digest[index] & 0x0F];
  }
  return text;
}
