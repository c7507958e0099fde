#pragma once
// The "save" and "saveifnotexists" actions.
#include "engine/PackedData.h"
#include "engine/ScriptCommands.h"

// Why a "save" line fails before it takes any data: no "Filename", an
// "OrigLen" that is not above 0, a "ComprLen" stated but not above 0.
enum class SaveLineFault { kNone, kNoFileName, kNoOrigLen, kNoComprLen };
// The lengths a "save" line states (comprLen 0: stored, not compressed).
SaveLineFault CheckSaveLine(const CommandItems& items, std::size_t& origLen, std::size_t& comprLen);

// Takes the file's stored data from the front of `remaining` (also when an
// existing file is spared, so the next command stays aligned), then writes it.
bool SaveFile(const CommandItems& items, PackedData& remaining, bool spareExisting);
