#pragma once
// The packed files ("Section:Setup.bin", zlib, or "Section:Setup.zst",
// zstd, whichever comes first) read from the own file and decoded piece by piece,
// and the check that it inflates at all, made before the first file is
// written and, for a large section, on a thread of its own while the install
// question is shown.
#include <cstdint>
#include <memory>
#include <vector>
#include "base/Text.h"
#include "engine/PackedData.h"

// The section's bytes as a source for PackedData, or none when the own file
// has no such section or an empty one. Counts what it has read (PackedProgress).
std::unique_ptr<PackedSource> OpenPackedFiles();
// The files' data for the script's lines, prepared on a thread of its own:
// it reads and inflates the section and each file's stream ahead of the
// lines that take them, in script order, holding at most kReadAheadBytes
// (or one file) that no line has taken yet. A failure is kept with its file
// and raised when that file's line takes it. `waiting` is called every few
// milliseconds while a line waits for its data.
constexpr std::size_t kReadAheadBytes = std::size_t{4} << 20;
std::unique_ptr<PackedFileFeed> StartReadAhead(std::unique_ptr<PackedSource> source,
                                               std::vector<ByteString> lines, void (*waiting)());
// Packed bytes of the section read by the source opened last, and their total.
void PackedProgress(uint64_t& done, uint64_t& total);
// Whether the source opened last may decode beside the check: zlib's decoder
// keeps 32 KiB, zstd's a window of up to 16 MiB, as the check's does, and two
// of them at once would cost more memory than one file.
bool DecodesBesideCheck();

// Starts inflating the whole section without keeping it, on another thread.
// A section up to kCheckAtOnceLimit bytes is checked here, on this thread:
// its failure raises at once.
constexpr uint64_t kCheckAtOnceLimit = uint64_t{8} << 20;
void StartPackedCheck();
// Waits for the check of the loaded own file (starting it when it has not
// run), calling `waiting` every few milliseconds; raises what it raised.
void FinishPackedCheck(void (*waiting)());
// Whether the last check has ended with a failure (may be asked any time),
// and that failure raised on the caller's thread.
bool PackedCheckFailed();
void RaisePackedCheckFailure();
// Called on the checking thread when a check ends, passed or not.
void SetPackedCheckDoneHook(void (*hook)());
// Tests: wait for and forget any check.
void ResetPackedCheck();
