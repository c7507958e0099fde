#pragma once
// Product settings under RegistryKey, the "path" action and the check for a
// newer installed version.
#include "base/Text.h"
#include "engine/ScriptCommands.h"

ByteString ReadProductSetting(const ByteString& name);
void WriteProductSetting(const ByteString& name, const ByteString& value);
bool PathAction(const CommandItems& items);
bool NewerVersionInstalled();
// Called once the program folder is chosen, before the full run: a data
// folder the script gave (not one an earlier installation registered)
// follows the program folder.
void FollowChosenProgramFolder();
ByteString NormalizeVersion(const ByteString& version);
