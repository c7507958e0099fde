#pragma once
// The multilingual system. Every text the setup shows is compiled in as
// German and translated at run time by content: the language data holds, for
// each German text, its translations under two-letter language codes.
//
//   language table   tLngInfo, one per code, in order of first appearance
//   translation      tMLGroup, one text in every loaded language
//   text group       TMLStringList, one module's numbered default texts
//   system           tMLSystem, owner of the table and the groups
#include <cstdint>
#include <memory>
#include <vector>
#include "base/ByteStringList.h"
#include "base/Text.h"
#include "base/WideStringList.h"
#include "lang/FormInterface.h"

class tMLSystem;

// Font character sets applied by a change of language.
constexpr uint8_t kDefaultCharset = 0;
constexpr uint8_t kEastEuropeCharset = 238;
constexpr uint8_t kGreekCharset = 161;

// Longest key of a language line; longer keys are cut before the checks.
constexpr std::size_t kMaxKeyLength = 15;
// Longest window text read from a control for translation.
constexpr std::size_t kMaxControlText = 4095;

// One language of the table.
class tLngInfo {
public:
  tLngInfo(tMLSystem* system, const ByteString& code);
  virtual ~tLngInfo() = default;

  const ByteString& Code() const { return code_; }
  // "EN" for "US", otherwise the code.
  const ByteString& LookupCode() const { return lookupCode_; }
  tMLSystem* System() const { return system_; }
  TQStringList& Strings() { return strings_; }  // unused by the setup
  // Windows-1252; empty when the built-in table lacks the lookup code.
  const ByteString& NativeName() const { return nativeName_; }
  const ByteString& EnglishName() const { return englishName_; }

private:
  ByteString code_;
  ByteString lookupCode_;
  tMLSystem* system_;
  TQStringList strings_;
  ByteString nativeName_;
  ByteString englishName_;
};

// "US" is looked up as "EN"; codes longer than 3 are cut.
ByteString LookupCodeOf(const ByteString& code);
// The font character set that a change to the language applies.
uint8_t CharsetOfLanguage(const ByteString& code);

// One translation group: the same text in every language that has it.
class tMLGroup {
public:
  explicit tMLGroup(tMLSystem* system);
  virtual ~tMLGroup() = default;

  int32_t GroupNumber() const { return groupNumber_; }
  const WideString& Header() const { return header_; }
  // Null unless the group was read with the keep-lines flag.
  const TWStringList* VerbatimLines() const { return verbatim_.get(); }
  const TQStringList& Texts() const { return texts_; }
  tMLSystem* System() const { return system_; }

  // Empty for an index outside the list.
  ByteString TextAt(int32_t index) const;
  // Empty when the code is not in the language table.
  ByteString TextOf(const ByteString& code) const;
  // The text at index; else the text under the language's lookup code; else,
  // with the fallback allowed, the fallback language's and then the base
  // language's text.
  ByteString LookupText(int32_t index, bool useFallback) const;
  // Also stores "<code>=<text>" as the verbatim line when the group keeps lines.
  void SetTextAt(int32_t index, const ByteString& text);
  // Parses one group from `position` on, advancing it past the consumed
  // lines (the blank line that ends the group included). True when at least
  // one language line was taken.
  bool ReadFrom(const TWStringList& lines, int32_t& position, bool keepLines);

private:
  void Reset(bool keepLines);
  void ReadHeaderAttributes(const ByteString& attributes);
  void StoreVerbatim(int32_t index, const WideString& line);

  int32_t groupNumber_ = 0;
  TQStringList texts_;
  std::unique_ptr<TWStringList> verbatim_;
  WideString header_;
  tMLSystem* system_;
};

// One module's compiled-in default texts, each with its number in the
// object slot. Sorted, duplicates ignored, compared without case.
class TMLStringList : public TQStringList {
public:
  // `text` holds Windows-1252 bytes; it is converted to the ANSI code page
  // first when that is not 1252. An equal text already present is not added.
  void Add255Obj(const ShortText& text, int32_t number);
  // The first entry with that number, translated into the current language,
  // with "#13#" made a carriage return; empty when no entry has it.
  ByteString TextOfId(int32_t number) const;
  // TextOfId with every "%1" replaced by the argument.
  ByteString TextOfIdWith(int32_t number, const ShortText& argument) const;
};

class tMLSystem {
public:
  explicit tMLSystem(const ByteString& baseCode);
  virtual ~tMLSystem();
  tMLSystem(const tMLSystem&) = delete;
  tMLSystem& operator=(const tMLSystem&) = delete;

  const ByteString& BaseCode() const { return baseCode_; }
  const ByteString& CurrentCode() const { return currentCode_; }
  const ByteString& FallbackCode() const { return fallbackCode_; }
  void SetCurrentCode(const ByteString& code) { currentCode_ = LanguageCode(code); }
  void SetFallbackCode(const ByteString& code) { fallbackCode_ = LanguageCode(code); }
  bool KeepLines() const { return keepLines_; }
  int32_t ChangeCount() const { return changeCount_; }
  void CountChange() { ++changeCount_; }

  int32_t LanguageCount() const { return static_cast<int32_t>(languages_.size()); }
  const tLngInfo* Language(int32_t index) const;  // null for a bad index
  int32_t GroupCount() const { return static_cast<int32_t>(groups_.size()); }
  const tMLGroup* Group(int32_t index) const;  // null for a bad index

  // Language data. Every load replaces all groups and languages.
  void LoadFromText(const WideString& text, bool keepLines);
  // False, with nothing changed, for a missing, unreadable or empty file or
  // one with a byte-order mark other than UTF-16LE.
  bool LoadFromFile(const ByteString& path, bool keepLines);
  void ReadGroups(const TWStringList& lines, bool keepLines);
  // The kept lines of all groups, a blank line after each; owned by the caller.
  std::unique_ptr<TWStringList> ExportGroups() const;

  // -1 when no entry has exactly this code (cut to 3 characters).
  int32_t IndexOfLanguage(const ByteString& code) const;
  int32_t AddLanguage(const ByteString& code);
  void Clear();

  // Translation by content.
  ByteString Translate(const ByteString& text, const ByteString& fromCode, const ByteString& toCode) const;
  // Only the part before the first "|" is translated.
  ByteString TranslateHint(const ByteString& hint, const ByteString& fromCode, const ByteString& toCode) const;
  // The component's caption and everything it owns, in place.
  void TranslateComponent(MLComponent& component, const ByteString& fromCode, const ByteString& toCode) const;

private:
  void TranslateControl(MLComponent& control, const ByteString& fromCode, const ByteString& toCode) const;

  ByteString baseCode_;
  ByteString currentCode_;
  ByteString fallbackCode_;
  std::vector<std::unique_ptr<tLngInfo>> languages_;
  std::vector<std::unique_ptr<tMLGroup>> groups_;
  bool keepLines_ = true;
  int32_t changeCount_ = 0;
};

// Module state, one per process.
extern tMLSystem* MLSystem;
extern uint16_t SystemPrimaryLanguage;  // GetSystemDefaultLangID AND 0x3FF
extern int32_t AnsiCodePage;             // GetACP at start
extern uint8_t CurrentCharset;           // last applied by ChangeLanguage

// Called first thing by the program: records the system language and the
// ANSI code page and creates MLSystem with base language "DE".
void InitMultiLingua();
// Frees MLSystem with all its groups and languages.
void DoneMultiLingua();
// Tests only: back to the state before InitMultiLingua.
void ResetMultiLingua();

// Loads the language file into MLSystem (created when missing).
void LoadLanguageFile(const ByteString& path, bool keepLines);
// The system's kept language data as one text: U+FEFF, then every line with
// CR LF; empty when nothing was kept.
WideString GetLanguageText(const tMLSystem* system);

// The text in MLSystem's current language; unchanged without MLSystem.
ByteString TranslateDefault(const ByteString& text);
// A new, empty text group that lives until the process ends.
TMLStringList* NewTextGroup();

// Translates a form just created into the current language and gives it the
// current character set.
void TranslateNewForm(MLForm& form);
// Switches the application's forms from the language they show to a new one.
// False, changing nothing, when the data has no text in that language.
bool ChangeLanguage(const ByteString& currentCode, const ByteString& newCode, const ByteString& fallbackCode);
void SetFormsCharset(uint8_t charset);
void SetComponentCharset(MLComponent& component, uint8_t charset);
