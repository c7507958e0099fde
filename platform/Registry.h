#pragma once
// The registry. Win32: RegOpenKeyExA, RegCreateKeyExA (non-volatile),
// RegQueryValueExA, RegSetValueExA, RegEnumKeyExA, RegDeleteKeyA, RegCloseKey.
// A path written with a leading "\" is relative to the hive root; the leading
// "\" is dropped before the API is called. Natively a fake serves it (tests/support).
#include <cstdint>
#include <vector>
#include "base/Text.h"

namespace platform {

enum class Hive { LocalMachine, CurrentUser };

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

using RegKey = std::uintptr_t;  // 0 = no key

// Opens an existing key; `write` asks for full access, else read-only.
bool RegOpen(Hive hive, const ByteString& path, bool write, RegKey& key);
// Opens the key with full access, creating it and missing parents.
bool RegCreate(Hive hive, const ByteString& path, RegKey& key);
void RegClose(RegKey key);
// Reads a value's type and raw bytes (a string value without its
// terminating NUL). False when the value does not exist.
bool RegQuery(RegKey key, const ByteString& name, uint32_t& type, ByteString& data);
bool RegSetString(RegKey key, const ByteString& name, const ByteString& value);
bool RegSetDword(RegKey key, const ByteString& name, uint32_t value);
// The names of the key's direct subkeys, in the order the registry gives them.
std::vector<ByteString> RegSubkeyNames(RegKey key);
// RegDeleteKeyA of a direct subkey that has no subkeys of its own.
bool RegDeleteSubkey(RegKey parent, const ByteString& name);


// A value of any type from its raw bytes (a string value without its NUL).
bool RegSetRaw(RegKey key, const ByteString& name, uint32_t type, const ByteString& data);
bool RegRemoveValue(RegKey key, const ByteString& name);
// The names of the key's values.
std::vector<ByteString> RegValueNames(RegKey key);

}  // namespace platform
