#include "tests/support/fakes/FakeRegistry.h"

#include <map>
#include <memory>

#include "platform/Files.h"

namespace {

ByteString Upper(ByteString text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

ByteString Normalize(const ByteString& path) {
  std::size_t begin = 0;
  while (begin < path.size() && path[begin] == '\\') ++begin;
  std::size_t end = path.size();
  while (end > begin && path[end - 1] == '\\') --end;
  return path.substr(begin, end - begin);
}

struct Value {
  ByteString name;  // as first written
  uint32_t type = 0;
  ByteString data;
};

struct Key {
  ByteString name;  // last path element as first created
  std::map<ByteString, Value> values;  // by upper-case name
};

struct HiveData {
  std::map<ByteString, Key> keys;  // by upper-case normalised path; "" is the root
  bool writeRefused = false;
};

struct OpenKey {
  platform::Hive hive;
  ByteString path;  // upper-case normalised
};

struct Registry {
  HiveData machine;
  HiveData user;
  std::map<platform::RegKey, OpenKey> handles;
  platform::RegKey nextHandle = 0x100;

  HiveData& Of(platform::Hive hive) { return hive == platform::Hive::LocalMachine ? machine : user; }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

Key* FindKey(platform::Hive hive, const ByteString& path) {
  auto& keys = TheRegistry().Of(hive).keys;
  const ByteString normal = Normalize(path);
  if (normal.empty()) return &keys[""];  // the hive root always exists
  auto it = keys.find(Upper(normal));
  return it == keys.end() ? nullptr : &it->second;
}

Key& MakeKey(platform::Hive hive, const ByteString& path) {
  auto& keys = TheRegistry().Of(hive).keys;
  const ByteString normal = Normalize(path);
  std::size_t pos = 0;
  while (true) {
    std::size_t slash = normal.find('\\', pos);
    ByteString prefix = normal.substr(0, slash);
    ByteString element = normal.substr(pos, slash == ByteString::npos ? ByteString::npos : slash - pos);
    Key& key = keys[Upper(prefix)];
    if (key.name.empty()) key.name = element;
    if (slash == ByteString::npos) return key;
    pos = slash + 1;
  }
}

platform::RegKey NewHandle(platform::Hive hive, const ByteString& path) {
  Registry& registry = TheRegistry();
  platform::RegKey handle = registry.nextHandle++;
  registry.handles[handle] = OpenKey{hive, Upper(Normalize(path))};
  return handle;
}

Key* KeyOfHandle(platform::RegKey handle) {
  auto& handles = TheRegistry().handles;
  auto it = handles.find(handle);
  if (it == handles.end()) return nullptr;
  return FindKey(it->second.hive, it->second.path);
}

}  // namespace

namespace fakes {

void ResetRegistry() {
  Registry& registry = TheRegistry();
  registry.machine = HiveData();
  registry.user = HiveData();
  registry.handles.clear();
}

void SetRegistryValue(platform::Hive hive, const ByteString& path, const ByteString& name,
                      uint32_t type, const ByteString& data) {
  Value& value = MakeKey(hive, path).values[Upper(name)];
  if (value.name.empty()) value.name = name;
  value.type = type;
  value.data = data;
}

void SetRegistryString(platform::Hive hive, const ByteString& path, const ByteString& name,
                       const ByteString& value) {
  SetRegistryValue(hive, path, name, platform::kRegSz, value);
}

void SetRegistryDword(platform::Hive hive, const ByteString& path, const ByteString& name,
                      uint32_t value) {
  ByteString data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  SetRegistryValue(hive, path, name, platform::kRegDword, data);
}

void CreateRegistryKey(platform::Hive hive, const ByteString& path) { MakeKey(hive, path); }

bool RegistryKeyExists(platform::Hive hive, const ByteString& path) {
  return FindKey(hive, path) != nullptr;
}

bool GetRegistryValue(platform::Hive hive, const ByteString& path, const ByteString& name,
                      uint32_t& type, ByteString& data) {
  Key* key = FindKey(hive, path);
  if (!key) return false;
  auto it = key->values.find(Upper(name));
  if (it == key->values.end()) return false;
  type = it->second.type;
  data = it->second.data;
  return true;
}

ByteString RegistryValueData(platform::Hive hive, const ByteString& path, const ByteString& name) {
  uint32_t type = 0;
  ByteString data;
  GetRegistryValue(hive, path, name, type, data);
  return data;
}

void SetRegistryWriteRefused(platform::Hive hive, bool refused) {
  TheRegistry().Of(hive).writeRefused = refused;
}

ByteString DumpRegistry() {
  ByteString dump;
  for (platform::Hive hive : {platform::Hive::LocalMachine, platform::Hive::CurrentUser}) {
    const char* code = hive == platform::Hive::LocalMachine ? "M" : "U";
    for (const auto& [path, key] : TheRegistry().Of(hive).keys) {
      dump += ByteString("K\t") + code + "\t" + path + "\t" + key.name + "\n";
      for (const auto& [upper, value] : key.values) {
        ByteString hex;
        for (unsigned char c : value.data) {
          static const char kHex[] = "0123456789abcdef";
          hex += kHex[c >> 4];
          hex += kHex[c & 15];
        }
        dump += ByteString("V\t") + code + "\t" + path + "\t" + value.name + "\t" +
                std::to_string(value.type) + "\t" + hex + "\n";
      }
    }
  }
  return dump;
}

void LoadRegistry(const ByteString& dump) {
  ResetRegistry();
  std::size_t begin = 0;
  for (std::size_t end; (end = dump.find('\n', begin)) != ByteString::npos; begin = end + 1) {
    std::vector<ByteString> fields;
    const ByteString line = dump.substr(begin, end - begin);
    for (std::size_t start = 0;;) {
      const std::size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab == ByteString::npos ? ByteString::npos : tab - start));
      if (tab == ByteString::npos) break;
      start = tab + 1;
    }
    if (fields.size() < 4) continue;
    HiveData& hive = TheRegistry().Of(fields[1] == "M" ? platform::Hive::LocalMachine : platform::Hive::CurrentUser);
    Key& key = hive.keys[fields[2]];
    if (fields[0] == "K") key.name = fields[3];
    if (fields[0] != "V" || fields.size() < 6) continue;
    Value& value = key.values[Upper(fields[3])];
    value.name = fields[3];
    value.type = static_cast<uint32_t>(std::stoul(fields[4]));
    value.data.clear();
    for (std::size_t i = 0; i + 1 < fields[5].size(); i += 2)
      value.data += static_cast<char>(std::stoi(fields[5].substr(i, 2), nullptr, 16));
  }
}

int OpenRegistryHandles() { return static_cast<int>(TheRegistry().handles.size()); }

}  // namespace fakes

namespace platform {

bool RegOpen(Hive hive, const ByteString& path, bool write, RegKey& key) {
  key = 0;
  if (write && TheRegistry().Of(hive).writeRefused) return false;
  if (!FindKey(hive, path)) return false;
  key = NewHandle(hive, path);
  return true;
}

bool RegCreate(Hive hive, const ByteString& path, RegKey& key) {
  NativeChangePoint();
  key = 0;
  if (TheRegistry().Of(hive).writeRefused) return false;
  MakeKey(hive, path);
  key = NewHandle(hive, path);
  return true;
}

void RegClose(RegKey key) { TheRegistry().handles.erase(key); }

bool RegQuery(RegKey key, const ByteString& name, uint32_t& type, ByteString& data) {
  data.clear();
  Key* open = KeyOfHandle(key);
  if (!open) return false;
  auto it = open->values.find(Upper(name));
  if (it == open->values.end()) return false;
  type = it->second.type;
  data = it->second.data;
  return true;
}

bool RegSetString(RegKey key, const ByteString& name, const ByteString& value) {
  NativeChangePoint();
  Key* open = KeyOfHandle(key);
  if (!open) return false;
  Value& stored = open->values[Upper(name)];
  if (stored.name.empty()) stored.name = name;
  stored.type = kRegSz;
  stored.data = value;
  return true;
}

bool RegSetDword(RegKey key, const ByteString& name, uint32_t value) {
  NativeChangePoint();
  auto it = TheRegistry().handles.find(key);
  if (it == TheRegistry().handles.end() || !KeyOfHandle(key)) return false;
  fakes::SetRegistryDword(it->second.hive, it->second.path, name, value);
  return true;
}

std::vector<ByteString> RegSubkeyNames(RegKey key) {
  std::vector<ByteString> names;
  auto it = TheRegistry().handles.find(key);
  if (it == TheRegistry().handles.end() || !KeyOfHandle(key)) return names;
  const ByteString prefix = it->second.path.empty() ? ByteString() : it->second.path + "\\";
  for (const auto& [path, child] : TheRegistry().Of(it->second.hive).keys) {
    if (path.empty() || path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
      continue;
    if (path.find('\\', prefix.size()) != ByteString::npos) continue;
    names.push_back(child.name);
  }
  return names;
}

bool RegDeleteSubkey(RegKey parent, const ByteString& name) {
  NativeChangePoint();
  auto it = TheRegistry().handles.find(parent);
  if (it == TheRegistry().handles.end() || !KeyOfHandle(parent)) return false;
  HiveData& hive = TheRegistry().Of(it->second.hive);
  if (hive.writeRefused) return false;
  const ByteString normalName = Upper(Normalize(name));
  if (normalName.empty()) return false;
  const ByteString path = it->second.path.empty() ? normalName : it->second.path + "\\" + normalName;
  auto child = hive.keys.find(path);
  if (child == hive.keys.end()) return false;
  // As RegDeleteKeyA on NT: a key that still has subkeys stays.
  auto grandchild = hive.keys.lower_bound(path + "\\");
  if (grandchild != hive.keys.end() &&
      grandchild->first.compare(0, path.size() + 1, path + "\\") == 0)
    return false;
  hive.keys.erase(child);
  return true;
}

bool RegSetRaw(RegKey key, const ByteString& name, uint32_t type, const ByteString& data) {
  NativeChangePoint();
  auto it = TheRegistry().handles.find(key);
  if (it == TheRegistry().handles.end() || !KeyOfHandle(key)) return false;
  fakes::SetRegistryValue(it->second.hive, it->second.path, name, type, data);
  return true;
}

bool RegRemoveValue(RegKey key, const ByteString& name) {
  NativeChangePoint();
  Key* open = KeyOfHandle(key);
  return open && open->values.erase(Upper(name)) > 0;
}

std::vector<ByteString> RegValueNames(RegKey key) {
  std::vector<ByteString> names;
  if (Key* open = KeyOfHandle(key))
    for (const auto& [upper, value] : open->values) names.push_back(value.name);
  return names;
}

}  // namespace platform
