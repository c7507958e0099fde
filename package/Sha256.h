#pragma once
// SHA-256 (FIPS 180-4): the package managers' manifests name a package by
// it, and an update knows the files it patches by it.
#include <cstdint>
#include <string_view>
#include "base/Text.h"

// A digest over bytes that arrive in pieces.
class Sha256 {
public:
  Sha256();
  void Add(std::string_view bytes);
  // The digest as 64 upper-case hexadecimal digits; the object is spent.
  ByteString HexDigest();

private:
  uint32_t state_[8];
  unsigned char block_[64];
  std::size_t filled_ = 0;
  uint64_t length_ = 0;
};

ByteString Sha256Hex(std::string_view bytes);
