#pragma once
// The "save" and "saveifnotexists" actions.
#include "engine/PackedData.h"
#include "engine/ScriptCommands.h"

// Takes the file's stored data from the front of `remaining` (also when an
// existing file is spared, so the next command stays aligned), then writes it.
bool SaveFile(const CommandItems& items, PackedData& remaining, bool spareExisting);
