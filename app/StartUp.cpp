#include "app/StartUp.h"

#include <string_view>

#include "app/ExitCodesAndHelp.h"
#include "app/MessageBoxes.h"
#include "app/SetupTexts.h"
#include "base/Encodings.h"
#include "engine/CommandLine.h"
#include "engine/Elevation.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "lang/Multilingual.h"
#include "package/Sections.h"
#include "platform/Process.h"

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

bool LoadStartUpData() {
  if (Switches.elevatedCopy) RequireOwnImageFile();
  if (!LoadSetupLanguage()) {
    LoadLanguageFile(LanguageFileName(platform::ModuleFileName()), true);
    LngData = WideToBytes(GetLanguageText(MLSystem));
  }
  return SectionsState() != kSectionsRefused;
}

int EndRefusedCopy() {
  if (!Switches.silent) {
    ShowErrorBox(MainDPRText(kTextOwnFileRefused));
    return kExitInstalled;
  }
  const bool replaced = OwnFileRefusal() == platform::OwnFileVerdict::NotTheImagesFile;
  NoteRefusal("not installed from " + platform::ModuleFileName() +
              (replaced ? ": it is not the file that was started (replaced after the start)"
                        : ": its signature does not verify"));
  WriteRequestedLog(ExitCodeText(kExitFailed));
  return kExitFailed;
}
