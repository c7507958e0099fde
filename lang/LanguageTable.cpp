// The language table: entries with their built-in names, and the lookup of a
// code in the table.
#include "lang/Multilingual.h"

namespace {

struct BuiltInLanguage {
  const char* lookupCode;
  const char* nativeName;  // Windows-1252
  const char* englishName;
  uint8_t charset;
};

const BuiltInLanguage kBuiltInLanguages[] = {
    {"AF", "Afrikaans", "Afrikaans", kDefaultCharset},
    {"BR", "Portugu\xEAs brasileiro", "Portuguese", kDefaultCharset},
    {"CS", "Cesky", "Czech", kEastEuropeCharset},
    {"DE", "Deutsch", "German", kDefaultCharset},
    {"EN", "English", "English", kDefaultCharset},
    {"ES", "Espa\xF1ol", "Spanish", kDefaultCharset},
    {"EO", "Esperanto", "Esperanto", kDefaultCharset},
    {"EL", "Greek", "Greek", kGreekCharset},
    {"FR", "Fran\xE7" "ais", "French", kDefaultCharset},
    {"HU", "Magyar", "Hungarian", kDefaultCharset},
    {"IT", "Italiano", "Italian", kDefaultCharset},
    {"NL", "Nederlands", "Dutch", kDefaultCharset},
    {"PL", "Polski", "Polish", kEastEuropeCharset},
    {"SQ", "Shqip", "Albanian", kDefaultCharset},
    {"SV", "Svenska", "Swedish", kDefaultCharset},
    {"TR", "T\xFCrk\xE7" "e", "Turkish", kDefaultCharset},
    {"ZH", "Chinese", "Chinese", kDefaultCharset},
};

const BuiltInLanguage* FindBuiltIn(const ByteString& lookupCode) {
  for (const BuiltInLanguage& language : kBuiltInLanguages)
    if (lookupCode == language.lookupCode) return &language;
  return nullptr;
}

}  // namespace

ByteString LookupCodeOf(const ByteString& code) {
  const ByteString cut = LanguageCode(code);
  return cut == "US" ? ByteString("EN") : cut;
}

uint8_t CharsetOfLanguage(const ByteString& code) {
  const BuiltInLanguage* language = FindBuiltIn(LookupCodeOf(code));
  return language ? language->charset : kDefaultCharset;
}

tLngInfo::tLngInfo(tMLSystem* system, const ByteString& code)
    : code_(LanguageCode(code)), lookupCode_(LookupCodeOf(code)), system_(system) {
  if (const BuiltInLanguage* language = FindBuiltIn(lookupCode_)) {
    nativeName_ = language->nativeName;
    englishName_ = language->englishName;
  }
}

int32_t tMLSystem::IndexOfLanguage(const ByteString& code) const {
  const ByteString cut = LanguageCode(code);
  for (std::size_t i = 0; i < languages_.size(); ++i)
    if (languages_[i]->Code() == cut) return static_cast<int32_t>(i);
  return -1;
}

int32_t tMLSystem::AddLanguage(const ByteString& code) {
  const int32_t index = IndexOfLanguage(code);
  if (index >= 0) return index;
  languages_.push_back(std::make_unique<tLngInfo>(this, code));
  return static_cast<int32_t>(languages_.size()) - 1;
}

const tLngInfo* tMLSystem::Language(int32_t index) const {
  if (index < 0 || index >= LanguageCount()) return nullptr;
  return languages_[static_cast<std::size_t>(index)].get();
}
