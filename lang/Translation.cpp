// Translation by content: a text is looked up among the groups' texts in the
// language it is written in, and the group's text in the target language
// replaces it. Blanks in front and trailing " ", "." and ":" are kept around
// the translated core, so "  Ordner:" finds the group of "Ordner".
#include "lang/TextHelpers.h"
#include "lang/Multilingual.h"
#include "platform/Text.h"

ByteString tMLGroup::LookupText(int32_t index, bool useFallback) const {
  ByteString text = TextAt(index);
  if (!text.empty()) return text;
  // A language such as "US" shows the texts of its lookup language "EN".
  if (const tLngInfo* language = system_->Language(index)) {
    const int32_t lookupIndex = system_->IndexOfLanguage(language->LookupCode());
    if (lookupIndex >= 0 && lookupIndex != index) {
      text = TextAt(lookupIndex);
      if (!text.empty()) return text;
    }
  }
  if (!useFallback) return ByteString();
  text = TextOf(system_->FallbackCode());
  if (text.empty()) text = TextOf(system_->BaseCode());
  return text;
}

ByteString tMLSystem::Translate(const ByteString& text, const ByteString& fromCode,
                                const ByteString& toCode) const {
  if (text.empty()) return text;
  const int32_t from = IndexOfLanguage(fromCode);
  const int32_t to = IndexOfLanguage(toCode);
  if (from < 0 || to < 0 || from == to) return text;

  ByteString core = text;
  // The accelerator mark goes; the language data holds texts without it.
  const std::size_t amp = core.find('&');
  if (amp != ByteString::npos && amp + 1 < core.size() && static_cast<unsigned char>(core[amp + 1]) > 32)
    core.erase(amp, 1);
  const std::size_t lead = core.find_first_not_of(' ');
  const ByteString prefix = core.substr(0, lead == ByteString::npos ? core.size() : lead);
  core.erase(0, prefix.size());
  std::size_t end = core.size();
  while (end > 1 && (core[end - 1] == ' ' || core[end - 1] == '.' || core[end - 1] == ':')) --end;
  const ByteString suffix = core.substr(end);
  core.resize(end);
  if (lang::TrimControls(core).empty()) return prefix + core + suffix;

  for (const auto& group : groups_) {
    if (group->TextAt(from) != core) continue;
    const ByteString found = group->LookupText(to, false);
    if (!found.empty()) return prefix + found + suffix;
  }
  const ByteString upperCore = platform::UpperCaseAnsi(core);
  for (const auto& group : groups_) {
    const ByteString candidate = group->TextAt(from);
    if (candidate.empty() || platform::UpperCaseAnsi(candidate) != upperCore) continue;
    const ByteString found = group->LookupText(to, true);
    if (!found.empty()) return prefix + found + suffix;
  }
  return prefix + core + suffix;
}

ByteString tMLSystem::TranslateHint(const ByteString& hint, const ByteString& fromCode,
                                    const ByteString& toCode) const {
  // The long part after "|" is never translated.
  const std::size_t bar = hint.find('|');
  if (bar == ByteString::npos) return Translate(hint, fromCode, toCode);
  if (bar == 0) return hint;
  return Translate(hint.substr(0, bar), fromCode, toCode) + hint.substr(bar);
}
