#pragma once
// Start-up's language data.
#include "base/Text.h"

// Loads the translations from the own "Section:Setup.lng"; true when they
// came from there (LngData then holds the section's bytes).
bool LoadSetupLanguage();
// The language file beside the executable: its path with the extension
// replaced by ".lng" (appended when it has none).
ByteString LanguageFileName(const ByteString& exePath);
