#pragma once
// Makes a binary patch (format in package/BinaryPatch.h) from an earlier and
// a later version of a file: the later file's stretches that match the
// earlier one approximately (found through a suffix array of the earlier
// file) become differences, mostly zero bytes, which compress to little
// even where code moved and its addresses changed; the rest is new bytes.
#include <string>
#include <string_view>

namespace setuppack {

// The same inputs always give the same bytes.
std::string MakeBinaryPatch(std::string_view base, std::string_view target);

}  // namespace setuppack
