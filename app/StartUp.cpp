#include "app/StartUp.h"

#include <string_view>

#include "base/Encodings.h"
#include "engine/EngineValues.h"
#include "lang/Multilingual.h"
#include "package/Sections.h"

ByteString LanguageFileName(const ByteString& exePath) {
  std::size_t separator = exePath.find_last_of("\\:");
  std::size_t dot = exePath.find_last_of('.');
  if (dot != ByteString::npos && (separator == ByteString::npos || dot > separator))
    return exePath.substr(0, dot) + ".lng";
  return exePath + ".lng";
}

bool LoadSetupLanguage() {
  LoadOwnSections();
  if (SectionsState() != kSectionsLoaded) return false;
  ByteString bytes;
  if (!ReadOwnSection(kSectionSetupLng, bytes) || bytes.empty()) return false;
  if (MLSystem) MLSystem->LoadFromText(BytesToWide(bytes), true);
  LngData = bytes;
  return true;
}
