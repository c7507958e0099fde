// ApplyBinaryPatch over arbitrary bytes. Input: two bytes (little-endian)
// give the base's length, then the base, then the patch. The patcher reads
// the base only inside it, answers a patched file of the size its header
// states or a message with an empty result, and never raises or crashes.
#include <cstdint>
#include <string>

#include "package/BinaryPatch.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::Check;
using fuzzsupport::Show;

namespace {

class FuzzBase : public PatchBase {
public:
  explicit FuzzBase(std::string_view bytes) : bytes_(bytes) {}
  uint64_t Size() override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, char* out, std::size_t size) override {
    Check(offset <= bytes_.size() && size <= bytes_.size() - offset, "reads inside the base",
          std::to_string(offset) + "+" + std::to_string(size));
    bytes_.copy(out, size, offset);
    return true;
  }

private:
  std::string_view bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 2) return 0;
  std::string_view input(reinterpret_cast<const char*>(bytes) + 2, size - 2);
  const std::size_t baseLength = std::min<std::size_t>(bytes[0] | bytes[1] << 8, input.size());
  FuzzBase base(input.substr(0, baseLength));
  const std::string_view patch = input.substr(baseLength);
  // A few bytes of zstd may stand for gigabytes: how large a file may be is
  // the script's to say (OrigLen), not the patcher's.
  PatchLayout layout;
  std::size_t headerLength = 0;
  if (ReadPatchHeader(patch, layout, headerLength) && layout.newSize > (uint64_t{1} << 20)) return 0;

  ByteString result = "stale", problem;
  if (ApplyBinaryPatch(patch, base, result, problem)) {
    Check(result.size() == layout.newSize, "the result has the stated size", Show(patch));
  } else {
    Check(result.empty() && !problem.empty(), "a refusal says why and keeps nothing", problem);
  }
  return 0;
}
