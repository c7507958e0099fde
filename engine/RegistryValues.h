#pragma once
// Registry reading that several parts of the engine share.
#include <cstdint>
#include "base/Text.h"
#include "platform/Registry.h"

// Reads a string value (REG_SZ or REG_EXPAND_SZ) of an open key; empty when
// missing; raises ERegistryError for any other type.
ByteString ReadRegistryString(std::uintptr_t key, const ByteString& name);
