// The registry services of platform/Registry.h on Win32 (ANSI functions).
#include "platform/Registry.h"

#include <windows.h>

namespace platform {

namespace {

HKEY RootOf(Hive hive) {
  return hive == Hive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Paths written with a leading "\" are relative to the hive root.
ByteString ApiPath(const ByteString& path) {
  return !path.empty() && path[0] == '\\' ? path.substr(1) : path;
}

HKEY AsHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

bool RegOpen(Hive hive, const ByteString& path, bool write, RegKey& key) {
  key = 0;
  HKEY handle = nullptr;
  if (RegOpenKeyExA(RootOf(hive), ApiPath(path).c_str(), 0, write ? KEY_ALL_ACCESS : KEY_READ,
                    &handle) != ERROR_SUCCESS)
    return false;
  key = reinterpret_cast<RegKey>(handle);
  return true;
}

bool RegCreate(Hive hive, const ByteString& path, RegKey& key) {
  key = 0;
  HKEY handle = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(RootOf(hive), ApiPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &handle, &disposition) != ERROR_SUCCESS)
    return false;
  key = reinterpret_cast<RegKey>(handle);
  return true;
}

void RegClose(RegKey key) {
  if (key != 0) RegCloseKey(AsHkey(key));
}

bool RegQuery(RegKey key, const ByteString& name, uint32_t& type, ByteString& data) {
  data.clear();
  DWORD valueType = 0;
  DWORD size = 0;
  if (RegQueryValueExA(AsHkey(key), name.c_str(), nullptr, &valueType, nullptr, &size) !=
      ERROR_SUCCESS)
    return false;
  // The value may change between the two calls; ask again while it grows.
  for (;;) {
    data.assign(size, '\0');
    DWORD got = size;
    LONG status = RegQueryValueExA(AsHkey(key), name.c_str(), nullptr, &valueType,
                                   reinterpret_cast<BYTE*>(data.empty() ? nullptr : &data[0]),
                                   &got);
    if (status == ERROR_MORE_DATA) {
      size = got > size ? got : size + 256;
      continue;
    }
    if (status != ERROR_SUCCESS) {
      data.clear();
      return false;
    }
    data.resize(got);
    break;
  }
  type = valueType;
  const bool isText = valueType == REG_SZ || valueType == REG_EXPAND_SZ || valueType == REG_MULTI_SZ;
  if (isText && !data.empty() && data.back() == '\0') data.pop_back();
  return true;
}

bool RegSetString(RegKey key, const ByteString& name, const ByteString& value) {
  return RegSetValueExA(AsHkey(key), name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool RegSetDword(RegKey key, const ByteString& name, uint32_t value) {
  DWORD data = value;
  return RegSetValueExA(AsHkey(key), name.c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

std::vector<ByteString> RegSubkeyNames(RegKey key) {
  std::vector<ByteString> names;
  for (DWORD index = 0;; ++index) {
    char name[256];  // a key name has at most 255 characters
    DWORD length = sizeof name;
    LONG status = RegEnumKeyExA(AsHkey(key), index, name, &length, nullptr, nullptr, nullptr,
                                nullptr);
    if (status != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

bool RegDeleteSubkey(RegKey parent, const ByteString& name) {
  return RegDeleteKeyA(AsHkey(parent), name.c_str()) == ERROR_SUCCESS;
}

bool RegSetRaw(RegKey key, const ByteString& name, uint32_t type, const ByteString& data) {
  ByteString bytes = data;
  // String values are stored with their terminating NUL, as RegSetString does.
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) bytes.push_back('\0');
  return RegSetValueExA(AsHkey(key), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool RegRemoveValue(RegKey key, const ByteString& name) {
  return RegDeleteValueA(AsHkey(key), name.c_str()) == ERROR_SUCCESS;
}

std::vector<ByteString> RegValueNames(RegKey key) {
  std::vector<ByteString> names;
  for (DWORD index = 0;; ++index) {
    char name[16384];  // a value name has at most 16,383 characters
    DWORD length = sizeof name;
    if (RegEnumValueA(AsHkey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  return names;
}

}  // namespace platform
