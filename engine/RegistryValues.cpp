#include "engine/RegistryValues.h"

#include <vector>

#include "engine/EngineErrors.h"
#include "platform/Registry.h"

namespace {

using platform::Hive;
using platform::RegKey;

// Registry keys nest at most 512 deep; anything deeper is not a real tree.
constexpr int kMaxKeyDepth = 512;

void DeleteTree(Hive hive, const ByteString& path, int depth) {
  if (depth > kMaxKeyDepth) return;
  RegKey key = 0;
  if (!platform::RegOpen(hive, path, true, key)) return;
  const std::vector<ByteString> names = platform::RegSubkeyNames(key);
  platform::RegClose(key);
  for (const ByteString& name : names) DeleteTree(hive, path + "\\" + name, depth + 1);

  const std::size_t slash = path.find_last_of('\\');
  if (slash == ByteString::npos) return;
  RegKey parent = 0;
  if (!platform::RegOpen(hive, path.substr(0, slash), true, parent)) return;
  platform::RegDeleteSubkey(parent, path.substr(slash + 1));
  platform::RegClose(parent);
}

}  // namespace

ByteString ReadRegistryString(std::uintptr_t key, const ByteString& name) {
  uint32_t type = 0;
  ByteString data;
  if (!platform::RegQuery(key, name, type, data)) return ByteString();
  if (type != platform::kRegSz && type != platform::kRegExpandSz)
    throw ERegistryError("Ung\xFCltiger Datentyp f\xFCr '" + name + "'");
  // The text ends at its first zero byte, as the registry's C strings do.
  const std::size_t zero = data.find('\0');
  if (zero != ByteString::npos) data.resize(zero);
  return data;
}

void DeleteRegistryTree(const ByteString& path, Hive hive) { DeleteTree(hive, path, 0); }

