// Language data over arbitrary bytes: LoadFromText (the section's way: bytes
// to wide text) and LoadFromFile (the language file's way: byte-order mark or
// ANSI), in one of the code pages in use; then the export that the setup
// carries into its uninstaller, and the uninstaller's reading of it.
//
// Input: byte 0 bits 0-1 pick the code page (1252, 1250, 1251, UTF-8), bit 2
// the source (0 section text, 1 language file), bit 3 the keep-lines flag;
// the rest is the data.
// What must hold: the uninstaller reads back exactly the lines the setup
// exported (the same translations), and translating any loaded text works.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Encodings.h"
#include "base/WideStringList.h"
#include "lang/Multilingual.h"
#include "platform/Text.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::Check;
using fuzzsupport::Show;

namespace {

const uint32_t kCodePages[] = {1252, 1250, 1251, 65001};

std::vector<WideString> Lines(const tMLSystem& system) {
  std::vector<WideString> lines;
  const auto exported = system.ExportGroups();
  for (int32_t i = 0; i < exported->Count(); ++i) lines.push_back(exported->WideItemText(i));
  return lines;
}

std::string Narrow(const std::vector<WideString>& lines) {
  std::string out;
  for (const WideString& line : lines) {
    for (char16_t c : line) out += c < 128 ? static_cast<char>(c) : '?';
    out += '|';
  }
  return out.substr(0, 400);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size == 0) return 0;
  fuzzsupport::ResetWorld();
  platform::SetNativeCodePage(kCodePages[bytes[0] & 3]);
  InitMultiLingua();
  const bool fromFile = bytes[0] & 4;
  const bool keepLines = !(bytes[0] & 8);
  const ByteString data(reinterpret_cast<const char*>(bytes) + 1, size - 1);

  if (fromFile) {
    fuzzsupport::WriteHost("C/Setup.lng", data);
    const bool loaded = MLSystem->LoadFromFile("C:\\Setup.lng", keepLines);
    if (data.empty()) Check(!loaded, "an empty file loads nothing");
  } else {
    MLSystem->LoadFromText(BytesToWide(data), keepLines);
  }

  // Every group and language is reachable; translating works both ways
  // (for the first groups: each translation searches all of them).
  for (int32_t g = 0; g < MLSystem->GroupCount() && g < 8; ++g) {
    const tMLGroup* group = MLSystem->Group(g);
    Check(group != nullptr, "group reachable");
    for (int32_t l = 0; l < MLSystem->LanguageCount(); ++l) {
      const tLngInfo* language = MLSystem->Language(l);
      Check(language != nullptr && language->Code().size() >= 2 && language->Code().size() <= 3,
            "language codes have 2 or 3 letters");
      const ByteString text = group->TextAt(l);
      MLSystem->Translate(text, language->Code(), "DE");
      MLSystem->Translate(group->TextOf("DE"), "DE", language->Code());
      MLSystem->TranslateHint(text + "|hint", language->Code(), "EN");
    }
  }

  // The uninstaller gets the setup's export as its "Section:Setup.lng".
  const std::vector<WideString> exported = Lines(*MLSystem);
  const WideString languageText = GetLanguageText(MLSystem);
  if (!keepLines) Check(languageText.empty(), "without kept lines nothing is exported");
  const ByteString sectionBytes = WideToBytes(languageText);

  tMLSystem uninstaller("DE");
  uninstaller.LoadFromText(BytesToWide(sectionBytes), true);
  std::vector<WideString> again = Lines(uninstaller);
  std::vector<WideString> sortedExported = exported;
  std::sort(sortedExported.begin(), sortedExported.end());
  std::sort(again.begin(), again.end());
  Check(again == sortedExported, "the uninstaller reads the setup's translations back",
        "setup: " + Narrow(exported) + "\nuninstaller: " + Narrow(again) + "\ninput: " + Show(data));
  return 0;
}
