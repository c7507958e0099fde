#pragma once
// Product settings under RegistryKey, the "path" action and the check for a
// newer installed version.
#include "base/Text.h"
#include "engine/ScriptCommands.h"

ByteString ReadProductSetting(const ByteString& name);
void WriteProductSetting(const ByteString& name, const ByteString& value);
bool PathAction(const CommandItems& items);
bool NewerVersionInstalled();
ByteString NormalizeVersion(const ByteString& version);
