#pragma once
// SHA-256 (FIPS 180-4) of a byte string, for the package managers' manifests.
#include <string>

namespace setuppack {

// The digest as 64 upper-case hexadecimal digits.
std::string Sha256Hex(const std::string& bytes);

}  // namespace setuppack
