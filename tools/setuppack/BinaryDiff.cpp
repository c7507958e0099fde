#include "BinaryDiff.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <stdexcept>
#include <vector>

#include <zstd.h>

#include "package/BinaryPatch.h"

#ifdef Q_HAVE_DIVSUFSORT
#include <divsufsort.h>
#endif

namespace setuppack {

namespace {

using Index = int32_t;  // files up to 2 GB: the setup's own limit

// The suffix array of `text`: its suffixes' starts in sorted order.
std::vector<Index> SuffixArray(std::string_view text) {
  const auto n = static_cast<Index>(text.size());
  std::vector<Index> sorted(text.size());
  if (n == 0) return sorted;
#ifdef Q_HAVE_DIVSUFSORT
  if (divsufsort(reinterpret_cast<const unsigned char*>(text.data()), sorted.data(), n) != 0)
    throw std::runtime_error("suffix sorting failed");
#else
  // Where the library is missing (the Windows build of the packer): prefix
  // doubling, slower but the same array.
  std::vector<Index> rank(text.size()), next(text.size());
  for (Index i = 0; i < n; ++i) rank[i] = static_cast<unsigned char>(text[i]);
  std::iota(sorted.begin(), sorted.end(), 0);
  for (Index step = 1;; step *= 2) {
    auto key = [&](Index i) { return std::make_pair(rank[i], i + step < n ? rank[i + step] : -1); };
    std::sort(sorted.begin(), sorted.end(), [&](Index a, Index b) { return key(a) < key(b); });
    next[sorted[0]] = 0;
    for (Index i = 1; i < n; ++i) next[sorted[i]] = next[sorted[i - 1]] + (key(sorted[i - 1]) < key(sorted[i]));
    rank.swap(next);
    if (rank[sorted[n - 1]] == n - 1 || step >= n) break;
  }
#endif
  return sorted;
}

std::size_t CommonLength(std::string_view a, std::string_view b) {
  const std::size_t most = std::min(a.size(), b.size());
  std::size_t i = 0;
  while (i < most && a[i] == b[i]) ++i;
  return i;
}

// The longest prefix of `wanted` that occurs in `base`, and where.
std::size_t LongestMatch(const std::vector<Index>& sorted, std::string_view base, std::string_view wanted,
                         Index& position) {
  position = 0;
  if (sorted.empty()) return 0;
  std::size_t low = 0, high = sorted.size() - 1;
  while (high - low > 1) {
    const std::size_t middle = low + (high - low) / 2;
    const std::string_view suffix = base.substr(static_cast<std::size_t>(sorted[middle]));
    const std::size_t most = std::min(suffix.size(), wanted.size());
    if (std::memcmp(suffix.data(), wanted.data(), most) < 0) {
      low = middle;
    } else {
      high = middle;
    }
  }
  const std::size_t atLow = CommonLength(base.substr(static_cast<std::size_t>(sorted[low])), wanted);
  const std::size_t atHigh = CommonLength(base.substr(static_cast<std::size_t>(sorted[high])), wanted);
  position = sorted[atLow >= atHigh ? low : high];
  return std::max(atLow, atHigh);
}

std::string Compressed(const std::string& stream) {
  if (stream.empty()) return std::string();
  ZSTD_CCtx* context = ZSTD_createCCtx();
  if (!context) throw std::bad_alloc();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 22);
  // A window no larger than the stream (at least zstd's least, 2^10).
  int windowLog = 10;
  while (windowLog < kPatchWindowLog && (std::size_t{1} << windowLog) < stream.size()) ++windowLog;
  ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, windowLog);
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  std::string out(ZSTD_compressBound(stream.size()), '\0');
  const std::size_t size = ZSTD_compress2(context, &out[0], out.size(), stream.data(), stream.size());
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(size)) throw std::runtime_error(std::string("zstd: ") + ZSTD_getErrorName(size));
  out.resize(size);
  return out;
}

}  // namespace

std::string MakeBinaryPatch(std::string_view base, std::string_view target) {
  const std::vector<Index> sorted = SuffixArray(base);
  const auto baseSize = static_cast<int64_t>(base.size());
  const auto targetSize = static_cast<int64_t>(target.size());
  std::string steps, differences, extra;
  differences.reserve(target.size());

  // Walks the target. At each place the longest exact match in the base is
  // taken only when it is more than a few bytes better than simply going on
  // with the current alignment (the base at the same distance as before):
  // code that moved as a whole keeps its alignment across small changes.
  int64_t scan = 0, length = 0, position = 0;
  int64_t lastScan = 0, lastPosition = 0, lastOffset = 0;
  while (scan < targetSize) {
    int64_t alignedMatches = 0;
    int64_t counted = scan += length;
    for (; scan < targetSize; ++scan) {
      Index found = 0;
      length = static_cast<int64_t>(LongestMatch(sorted, base, target.substr(static_cast<std::size_t>(scan)), found));
      position = found;
      for (; counted < scan + length; ++counted)
        if (counted + lastOffset < baseSize && base[counted + lastOffset] == target[counted]) ++alignedMatches;
      if ((length == alignedMatches && length != 0) || length > alignedMatches + 8) break;
      if (scan + lastOffset < baseSize && base[scan + lastOffset] == target[scan]) --alignedMatches;
    }
    if (length == alignedMatches && scan != targetSize) continue;

    // The stretch after the last match that still mostly agrees with the
    // base (forward), and the one before the new match (backward).
    int64_t forward = 0;
    {
      int64_t same = 0, best = 0;
      for (int64_t i = 0; lastScan + i < scan && lastPosition + i < baseSize;) {
        if (base[lastPosition + i] == target[lastScan + i]) ++same;
        ++i;
        if (same * 2 - i > best * 2 - forward) {
          best = same;
          forward = i;
        }
      }
    }
    int64_t backward = 0;
    if (scan < targetSize) {
      int64_t same = 0, best = 0;
      for (int64_t i = 1; scan >= lastScan + i && position >= i; ++i) {
        if (base[position - i] == target[scan - i]) ++same;
        if (same * 2 - i > best * 2 - backward) {
          best = same;
          backward = i;
        }
      }
    }
    // Where the two overlap, the split that keeps most agreeing bytes.
    if (lastScan + forward > scan - backward) {
      const int64_t overlap = lastScan + forward - (scan - backward);
      int64_t balance = 0, best = 0, split = 0;
      for (int64_t i = 0; i < overlap; ++i) {
        if (target[lastScan + forward - overlap + i] == base[lastPosition + forward - overlap + i]) ++balance;
        if (target[scan - backward + i] == base[position - backward + i]) --balance;
        if (balance > best) {
          best = balance;
          split = i + 1;
        }
      }
      forward += split - overlap;
      backward -= split;
    }

    for (int64_t i = 0; i < forward; ++i)
      differences += static_cast<char>(static_cast<unsigned char>(target[lastScan + i]) -
                                       static_cast<unsigned char>(base[lastPosition + i]));
    const int64_t fresh = (scan - backward) - (lastScan + forward);
    extra.append(target.substr(static_cast<std::size_t>(lastScan + forward), static_cast<std::size_t>(fresh)));
    AppendPatchStep(steps, static_cast<uint64_t>(forward), static_cast<uint64_t>(fresh),
                    (position - backward) - (lastPosition + forward));

    lastScan = scan - backward;
    lastPosition = position - backward;
    lastOffset = position - scan;
  }

  std::string streams[kPatchStreams];
  streams[kPatchSteps] = std::move(steps);
  SplitDifferences(differences, streams[kPatchGaps], streams[kPatchFirst], streams[kPatchFollow]);
  streams[kPatchExtra] = std::move(extra);
  PatchLayout layout;
  layout.baseSize = base.size();
  layout.newSize = target.size();
  std::string frames;
  for (int i = 0; i < kPatchStreams; ++i) {
    const std::string frame = Compressed(streams[i]);
    layout.lengths[i] = frame.size();
    frames += frame;
  }
  return PatchHeaderBytes(layout) + frames;
}

}  // namespace setuppack
