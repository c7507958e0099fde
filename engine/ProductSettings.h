#pragma once
// Product settings under RegistryKey, the "path" action and the check for a
// newer installed version.
#include "base/Text.h"
#include "engine/ScriptInterpreter.h"

ByteString ReadProductSetting(const ByteString& name);
void WriteProductSetting(const ByteString& name, const ByteString& value);
bool PathAction(const CommandItems& items);
bool NewerVersionInstalled();
ByteString NormalizeVersion(const ByteString& version);
// Reads a string value (REG_SZ or REG_EXPAND_SZ) of an open key; empty when
// missing; raises ERegistryError for any other type.
ByteString ReadRegistryString(std::uintptr_t key, const ByteString& name);
