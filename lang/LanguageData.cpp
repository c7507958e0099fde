// Reading language data into translation groups and writing the kept lines
// back out.
//
// A group is a run of non-blank lines: "//" lines are its header (with an
// optional "ID=<n>" attribute), "<code>=<text>" lines its texts; anything
// else is a comment. Each trimmed line is converted to the ANSI code page
// recorded at start before it is classified.
#include <algorithm>

#include "base/TextBasics.h"
#include "base/Encodings.h"
#include "base/SemicolonValues.h"
#include "lang/TextHelpers.h"
#include "lang/Multilingual.h"

namespace {

// Only the letters a to z made upper case: keys must not depend on the locale.
ByteString UpperCaseAToZ(const ByteString& text) {
  ByteString result = text;
  for (char& c : result)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return result;
}

// A value loses trailing blanks, colons and dots; "!." at the end keeps the dot.
ByteString CutValue(ByteString value) {
  while (value.size() > 1) {
    const char last = value.back();
    if (last == ' ' || last == ':') {
      value.pop_back();
    } else if (last == '.') {
      if (value[value.size() - 2] == '!') {
        value.erase(value.size() - 2, 1);
        break;
      }
      value.pop_back();
    } else {
      break;
    }
  }
  return value;
}

// Splits a language line's key into its code and an optional trailing group
// number. False when the line is to be ignored.
bool ParseKey(ByteString key, ByteString& code, int32_t& groupNumber, bool& hasNumber) {
  hasNumber = false;
  const std::size_t other = key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  if (other != ByteString::npos) {
    int32_t number = 0;
    if (!TryReadInt(key.substr(other), number) || number <= 0) return false;
    groupNumber = number;
    hasNumber = true;
    key.resize(other);
  }
  if (key.size() < 2 || key.size() > 3) return false;
  code = key;
  return true;
}

}  // namespace

ByteString tMLGroup::TextAt(int32_t index) const { return texts_.ItemText(index); }

ByteString tMLGroup::TextOf(const ByteString& code) const {
  const int32_t index = system_->IndexOfLanguage(code);
  return index < 0 ? ByteString() : TextAt(index);
}

void tMLGroup::SetTextAt(int32_t index, const ByteString& text) {
  if (index < 0) return;
  while (texts_.Count() <= index) texts_.Add(ByteString());
  texts_.SetItemText(index, text);
  if (verbatim_) {
    const tLngInfo* language = system_->Language(index);
    const ByteString line = (language ? language->Code() : ByteString()) + "=" + text;
    WideString wide;
    AppendCodePageToWide(line.data(), static_cast<int32_t>(line.size()), static_cast<uint32_t>(AnsiCodePage), wide);
    StoreVerbatim(index, wide);
  }
}

void tMLGroup::StoreVerbatim(int32_t index, const WideString& line) {
  while (verbatim_->Count() <= index) verbatim_->AddWide(WideString());
  verbatim_->SetWideItemText(index, line);
}

void tMLGroup::Reset(bool keepLines) {
  groupNumber_ = 0;
  texts_.Clear();
  header_.clear();
  if (keepLines)
    verbatim_ = std::make_unique<TWStringList>();
  else
    verbatim_.reset();
}

// "ID=<n>" in the ";"-separated attributes of a header sets the group number;
// only the first piece that starts with "ID=" counts.
void tMLGroup::ReadHeaderAttributes(const ByteString& attributes) {
  TQStringList pieces;
  SplitValues(attributes, pieces);
  int32_t number = 0;
  if (TryReadInt(pieces.ValueOf("ID"), number) && number > 0) groupNumber_ = number;
}

bool tMLGroup::ReadFrom(const TWStringList& lines, int32_t& position, bool keepLines) {
  Reset(false);
  const int32_t count = lines.Count();
  while (position < count && lang::TrimControls(lines.WideItemText(position)).empty()) ++position;
  if (position >= count) return false;
  if (keepLines) Reset(true);

  int32_t languageLines = 0;
  while (position < count) {
    const WideString wide = lang::TrimControls(lines.WideItemText(position));
    ++position;
    const ByteString line = WideToCodePage(wide, static_cast<uint32_t>(AnsiCodePage));
    if (line.empty()) break;

    ByteString key;
    ByteString value;
    if (line[0] == '/') {
      key = line.substr(0, 2);
      value = line.size() > 3 ? line.substr(3) : ByteString();
    } else {
      const std::size_t equals = line.find('=');
      if (equals == ByteString::npos) continue;
      key = line.substr(0, equals);
      value = line.substr(equals + 1);
    }
    key = UpperCaseAToZ(lang::TrimControls(key)).substr(0, kMaxKeyLength);
    value = lang::TrimControls(value);

    if (key == "//") {
      header_ = wide;
      ReadHeaderAttributes(value);
      continue;
    }
    ByteString code;
    int32_t number = 0;
    bool hasNumber = false;
    if (!ParseKey(key, code, number, hasNumber)) continue;
    if (hasNumber) groupNumber_ = number;

    const int32_t index = system_->AddLanguage(code);
    while (texts_.Count() <= index) texts_.Add(ByteString());
    texts_.SetItemText(index, CutValue(value));
    if (verbatim_) StoreVerbatim(index, wide);
    ++languageLines;
  }
  return languageLines > 0;
}

void tMLSystem::ReadGroups(const TWStringList& lines, bool keepLines) {
  Clear();
  int32_t position = 0;
  while (position < lines.Count()) {
    auto group = std::make_unique<tMLGroup>(this);
    if (group->ReadFrom(lines, position, keepLines)) groups_.push_back(std::move(group));
  }
}

void tMLSystem::LoadFromText(const WideString& text, bool keepLines) {
  TWStringList lines;
  lines.SetWideText(text);
  keepLines_ = keepLines;
  ReadGroups(lines, keepLines);
}

bool tMLSystem::LoadFromFile(const ByteString& path, bool keepLines) {
  TWStringList lines;
  if (!LoadWideListFromFile(path, &lines)) return false;
  keepLines_ = keepLines;
  ReadGroups(lines, keepLines);
  return true;
}

std::unique_ptr<TWStringList> tMLSystem::ExportGroups() const {
  auto out = std::make_unique<TWStringList>();
  for (const auto& group : groups_) {
    const TWStringList* verbatim = group->VerbatimLines();
    if (!verbatim || verbatim->Count() == 0) continue;
    bool wrote = false;
    const int32_t last = std::max(group->Texts().Count(), verbatim->Count());
    for (int32_t j = 0; j < last; ++j) {
      const WideString line = verbatim->WideItemText(j);
      if (group->TextAt(j).empty() || lang::TrimControls(line).empty()) continue;
      if (!wrote && !group->Header().empty()) out->AddWide(group->Header());
      out->AddWide(line);
      wrote = true;
    }
    if (wrote) out->AddWide(WideString());
  }
  return out;
}

WideString GetLanguageText(const tMLSystem* system) {
  if (!system) return WideString();
  return system->ExportGroups()->WideText(true);
}
