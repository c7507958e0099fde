// Text groups: each module's compiled-in German texts, asked for by number
// and answered in the current language.
#include "base/Encodings.h"
#include "lang/Multilingual.h"

namespace {

constexpr int32_t kWindows1252 = 1252;

// Text groups live until the process ends; the modules keep plain pointers.
std::vector<std::unique_ptr<TMLStringList>>& AllTextGroups() {
  static std::vector<std::unique_ptr<TMLStringList>> groups;
  return groups;
}

std::uintptr_t NumberToObject(int32_t number) {
  return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(number));
}

int32_t ObjectToNumber(std::uintptr_t object) {
  return static_cast<int32_t>(static_cast<std::intptr_t>(object));
}

// Every occurrence of `what`, left to right; the inserted text is not searched again.
ByteString ReplaceAll(const ByteString& text, const ByteString& what, const ByteString& with) {
  if (what.empty()) return text;
  ByteString result;
  std::size_t from = 0;
  for (std::size_t at = text.find(what); at != ByteString::npos; at = text.find(what, from)) {
    result.append(text, from, at - from);
    result += with;
    from = at + what.size();
  }
  result.append(text, from, ByteString::npos);
  return result;
}

}  // namespace

TMLStringList* NewTextGroup() {
  auto group = std::make_unique<TMLStringList>();
  group->SetCaseSensitive(false);
  group->SetDuplicates(TDuplicates::Ignore);
  group->SetSorted(true);
  AllTextGroups().push_back(std::move(group));
  return AllTextGroups().back().get();
}

void TMLStringList::Add255Obj(const ShortText& text, int32_t number) {
  ByteString bytes = text.str();
  if (AnsiCodePage != kWindows1252)
    bytes = WideToCodePage(Str255ToWide(text, kWindows1252), static_cast<uint32_t>(AnsiCodePage));
  AddWithObject(bytes, NumberToObject(number));
}

ByteString TMLStringList::TextOfId(int32_t number) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (ObjectToNumber(ItemObject(i)) != number) continue;
    // Line breaks only after the lookup: the language data carries "#13#".
    return ReplaceAll(TranslateDefault(ItemText(i)), "#13#", "\r");
  }
  return ByteString();
}

ByteString TMLStringList::TextOfIdWith(int32_t number, const ShortText& argument) const {
  return ReplaceAll(TextOfId(number), "%1", argument.str());
}
