// The system object and the module state.
#include "lang/Multilingual.h"
#include "platform/Text.h"

tMLSystem* MLSystem = nullptr;
uint16_t SystemPrimaryLanguage = 0;
int32_t AnsiCodePage = 0;
uint8_t CurrentCharset = 0;

namespace {
const char kBaseLanguage[] = "DE";
const char kFallbackLanguage[] = "EN";
}  // namespace

tMLSystem::tMLSystem(const ByteString& baseCode)
    : baseCode_(LanguageCode(baseCode)), currentCode_(baseCode_), fallbackCode_(kFallbackLanguage) {}

tMLSystem::~tMLSystem() { Clear(); }

void tMLSystem::Clear() {
  // Groups first: they refer to the language table.
  groups_.clear();
  languages_.clear();
}

const tMLGroup* tMLSystem::Group(int32_t index) const {
  if (index < 0 || index >= GroupCount()) return nullptr;
  return groups_[static_cast<std::size_t>(index)].get();
}

tMLGroup::tMLGroup(tMLSystem* system) : system_(system) {}

void InitMultiLingua() {
  SystemPrimaryLanguage = static_cast<uint16_t>(platform::SystemDefaultLangId() & 0x3FF);
  AnsiCodePage = static_cast<int32_t>(platform::AnsiCodePage());
  if (!MLSystem) MLSystem = new tMLSystem(kBaseLanguage);
}

void DoneMultiLingua() {
  delete MLSystem;
  MLSystem = nullptr;
}

void ResetMultiLingua() {
  DoneMultiLingua();
  SystemPrimaryLanguage = 0;
  AnsiCodePage = 0;
  CurrentCharset = 0;
}

void LoadLanguageFile(const ByteString& path, bool keepLines) {
  if (!MLSystem) MLSystem = new tMLSystem(kBaseLanguage);
  MLSystem->LoadFromFile(path, keepLines);
}

ByteString TranslateDefault(const ByteString& text) {
  if (!MLSystem) return text;
  return MLSystem->Translate(text, MLSystem->BaseCode(), MLSystem->CurrentCode());
}
