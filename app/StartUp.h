#pragma once
// Start-up's language data, and the elevated copy's check of its own file.
#include "base/Text.h"

// Loads the translations from the own "Section:Setup.lng"; true when they
// came from there (LngData then holds the section's bytes).
bool LoadSetupLanguage();
// The language file beside the executable: its path with the extension
// replaced by ".lng" (appended when it has none).
ByteString LanguageFileName(const ByteString& exePath);

// The language data (the own section, else the file beside the program).
// The elevated copy first requires its own file to be the very file that
// was started (package/Sections.h, RequireOwnImageFile): false when that
// file is refused, and then nothing was read from it.
bool LoadStartUpData();
// Ends the copy whose own file was refused, before it claims or changes
// anything: a silent run logs why and answers 2 (the package cannot be
// used), a run with a window shows why and answers 0.
int EndRefusedCopy();
