#include "engine/RegistryValues.h"

#include "engine/EngineErrors.h"
#include "platform/Registry.h"

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
