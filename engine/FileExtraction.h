#pragma once
// The "save" and "saveifnotexists" actions and whole-file writing.
#include <string_view>
#include "engine/SetupScript.h"

bool SaveFile(const CommandItems& items, PackedData& remaining, bool spareExisting);
bool WriteWholeFile(const ByteString& path, std::string_view data);
