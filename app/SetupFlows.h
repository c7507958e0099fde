#pragma once
// What the window's flows share with the silent run.
#include <cstdint>
#include "base/Text.h"

extern const char* const kPartnerProgram;  // the partner's offer beside the program
// The user-interface language for the system's primary language; empty
// keeps the current one (German).
ByteString LanguageForSystem(uint16_t primary);
