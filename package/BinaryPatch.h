#pragma once
// Binary patches: a changed file as the difference to its earlier version.
// The packer makes them (tools/setuppack/BinaryDiff); the setup applies them
// here, reading the earlier file in pieces and holding only the new file.
//
// A patch is "QDP1", then seven unsigned LEB128 numbers: the base's size,
// the new file's size and the sizes of five zstd frames that follow, in this
// order (a size of 0: that stream is empty and has no frame):
// - steps: per step three numbers: `add`, `copy` (unsigned LEB128) and
//   `seek` (signed, zigzag LEB128);
// - the differences, for each step's `add` bytes what to add (mod 256) to
//   the base's bytes, mostly zero, in three streams: gaps (before each
//   difference that is not zero, the zero bytes before it: a byte each,
//   255 meaning 255 more and another byte), first (such a difference after
//   a gap) and follow (one right after another); behind the last gap every
//   difference is zero. Apart, each stream is more alike in itself than
//   the differences are together, and compresses better;
// - extra bytes: each step's `copy` bytes, taken as they are.
// One step writes `add` bytes (base byte + difference, the base position
// moving along), then `copy` extra bytes, then moves the base position by
// `seek`. The steps write exactly the new file's size, every base range they
// read lies inside the base, and each stream ends where its frame does.
#include <cstdint>
#include <string_view>
#include "base/Text.h"

constexpr char kPatchMagic[] = "QDP1";
// The largest zstd window of a patch's streams (8 MiB): a patch costs the
// setup at most five of them besides the packed files' own decoder.
constexpr int kPatchWindowLog = 23;

enum PatchStreamIndex { kPatchSteps, kPatchGaps, kPatchFirst, kPatchFollow, kPatchExtra, kPatchStreams };

struct PatchLayout {
  uint64_t baseSize = 0;
  uint64_t newSize = 0;
  uint64_t lengths[kPatchStreams] = {};  // of the frames, by PatchStreamIndex
};

// The header as the packer writes it, and as the setup reads it (false: not
// a patch, or the frames' sizes do not add up to the patch's).
ByteString PatchHeaderBytes(const PatchLayout& layout);
bool ReadPatchHeader(std::string_view patch, PatchLayout& layout, std::size_t& headerLength);
// One step in the steps stream's encoding.
void AppendPatchStep(ByteString& steps, uint64_t add, uint64_t copy, int64_t seek);
// The differences as the gaps, first and follow streams.
void SplitDifferences(std::string_view differences, ByteString& gaps, ByteString& first, ByteString& follow);

// The earlier file, read at any offset.
class PatchBase {
public:
  virtual ~PatchBase() = default;
  virtual uint64_t Size() = 0;
  // Exactly `size` bytes at `offset`; false when they cannot be read.
  virtual bool ReadAt(uint64_t offset, char* out, std::size_t size) = 0;
};

// Applies the patch to `base` into `result` (replaced). False with `problem`
// saying why for a patch that is corrupt, does not fit this base's size, or
// a base that cannot be read; `result` is then empty. Never raises for bad
// data; memory beyond the result is bounded (five decoders, 64 KiB pieces).
bool ApplyBinaryPatch(std::string_view patch, PatchBase& base, ByteString& result, ByteString& problem);
