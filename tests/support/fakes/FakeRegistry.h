#pragma once
// Native stand-in for platform/Registry.h: an in-memory registry with both
// hives. Key paths and value names are compared without regard to ASCII
// case, as the registry does; a leading "\" is dropped. Tests set and read
// values directly and can refuse key creation per hive.
#include <cstdint>
#include <vector>
#include "base/Text.h"
#include "platform/Registry.h"

namespace fakes {

// Empties both hives, forgets every open handle, creation allowed again.
void ResetRegistry();

// Creates the key (and its parents) when missing and stores the value.
void SetRegistryValue(platform::Hive hive, const ByteString& path, const ByteString& name,
                      uint32_t type, const ByteString& data);
void SetRegistryString(platform::Hive hive, const ByteString& path, const ByteString& name,
                       const ByteString& value);
void SetRegistryDword(platform::Hive hive, const ByteString& path, const ByteString& name,
                      uint32_t value);
void CreateRegistryKey(platform::Hive hive, const ByteString& path);

bool RegistryKeyExists(platform::Hive hive, const ByteString& path);
// False when the key or the value is missing.
bool GetRegistryValue(platform::Hive hive, const ByteString& path, const ByteString& name,
                      uint32_t& type, ByteString& data);
// The data of a value, empty when missing (any type).
ByteString RegistryValueData(platform::Hive hive, const ByteString& path, const ByteString& name);

// When refused, RegCreate and RegOpen for writing fail under that hive (no
// rights), while reading still works.
void SetRegistryWriteRefused(platform::Hive hive, bool refused);

// Both hives as text, and back (a test's child process hands the registry
// it leaves to its parent, as the real registry outlives a killed process).
ByteString DumpRegistry();
void LoadRegistry(const ByteString& dump);

// Handles opened and not yet closed (to find leaks).
int OpenRegistryHandles();

}  // namespace fakes
