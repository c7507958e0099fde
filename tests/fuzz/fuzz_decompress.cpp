// DecompressBytes over arbitrary bytes: it answers or raises the
// decompression error (never another error, never a hang); what it answers
// compresses and decompresses back to itself. The input itself also makes a
// round trip through CompressBytes at the level its first byte picks.
#include <cstdint>
#include <string>

#include "package/ZLibHelpers.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::Check;
using fuzzsupport::Show;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  const int level = size ? bytes[0] % 4 : 2;

  bool decoded = false;
  ByteString output;
  try {
    output = DecompressBytes(input);
    decoded = true;
  } catch (const EZDecompressionError& error) {
    Check(error.Code() < 0 || error.Code() == 2 /* Z_NEED_DICT */, "decompression error carries zlib's code",
          std::to_string(error.Code()));
    Check(std::string(error.what()).size() > 0, "decompression error has zlib's message");
  }
  if (decoded) {
    Check(DecompressBytes(CompressBytes(output, level)) == output, "decompressed bytes round trip", Show(input));
  }
  Check(DecompressBytes(CompressBytes(input, level)) == input, "input round trips", Show(input));
  return 0;
}
