// Translation by content: the exact and the case-blind pass, the lookup
// code and the fallbacks, what is kept around the core, hints.
#include "LangTestSupport.h"

namespace {

class Translation : public LangTest {
protected:
  void SetUp() override {
    LangTest::SetUp();
    Load(u"// Knopf\n"
         u"DE=Starten\nEN=Start\nFR=Commencer\nUS=Go\n\n"
         u"DE=Ordner\nEN=Folder\n\n"
         u"DE=Abbrechen\nFR=Annuler\n\n"
         u"DE=Beenden\nEN=Quit\nFR=Quitter\nIT=Esci\n\n"
         u"DE=Hilfe\nFR=Aide\n\n"
         u"DE=Hilfe\nEN=Help\n\n"
         u"DE=Datei\nFR=Fichier\n\n"
         u"DE=Zielordner\nEN=Destination folder\n");
  }
  ByteString T(const ByteString& text, const char* from = "DE", const char* to = "EN") {
    return System().Translate(text, from, to);
  }
};

TEST_F(Translation, TheExactPassTakesTheFirstGroupWithATextInTheTargetLanguage) {
  EXPECT_EQ(T("Starten"), "Start");
  EXPECT_EQ(T("Starten", "DE", "FR"), "Commencer");
  EXPECT_EQ(T("Start", "EN", "FR"), "Commencer");
  // The first "Hilfe" group has no English text; the second has.
  EXPECT_EQ(T("Hilfe"), "Help");
  EXPECT_EQ(T("Hilfe", "DE", "FR"), "Aide");
}

TEST_F(Translation, UsShowsItsOwnTextOrTheEnglishOne) {
  EXPECT_EQ(T("Starten", "DE", "US"), "Go");
  EXPECT_EQ(T("Ordner", "DE", "US"), "Folder");
  EXPECT_EQ(T("Folder", "EN", "US"), "Folder");
  const tMLGroup* folder = System().Group(1);
  EXPECT_EQ(folder->LookupText(System().IndexOfLanguage("US"), false), "Folder");
}

TEST_F(Translation, AMissingTranslationFallsBackToEnglishThenToTheBaseText) {
  // Exact match without a French text: the case-blind pass gives English.
  EXPECT_EQ(T("Ordner", "DE", "FR"), "Folder");
  // Neither the language nor English: the German text as written.
  EXPECT_EQ(T("Abbrechen"), "Abbrechen");
  EXPECT_EQ(T("Abbrechen", "DE", "IT"), "Abbrechen");
  System().SetFallbackCode("FR");
  EXPECT_EQ(T("Abbrechen", "DE", "IT"), "Annuler");
  EXPECT_EQ(T("Ordner", "DE", "IT"), "Ordner");

  const tMLGroup* folder = System().Group(1);
  const int32_t it = System().IndexOfLanguage("IT");
  EXPECT_EQ(folder->LookupText(it, false), "");
  EXPECT_EQ(folder->LookupText(99, false), "");
  EXPECT_EQ(folder->TextAt(-1), "");
}

TEST_F(Translation, TheCaseBlindPassMatchesOtherLetterCase) {
  EXPECT_EQ(T("STARTEN", "DE", "FR"), "Commencer");
  EXPECT_EQ(T("ordner"), "Folder");
  // No English text: the group's German text as the data writes it.
  EXPECT_EQ(T("DATEI"), "Datei");
  EXPECT_EQ(T("DATEI", "DE", "FR"), "Fichier");
}

TEST_F(Translation, TheCaseBlindPassUsesTheLocaleForLettersBeyondAscii) {
  if (AnsiCodePage != 1252) GTEST_SKIP() << "needs code page 1252";
  Load(u"DE=ändern\nEN=change\n");
  EXPECT_EQ(T("\xC4NDERN"), "change");
}

TEST_F(Translation, BlanksInFrontAndTrailingPunctuationStayAroundTheCore) {
  EXPECT_EQ(T("  Ordner :"), "  Folder :");
  EXPECT_EQ(T("Zielordner..."), "Destination folder...");
  EXPECT_EQ(T("   Starten  "), "   Start  ");
  EXPECT_EQ(T("\tOrdner"), "\tOrdner");  // only blanks are a prefix
  EXPECT_EQ(T("   "), "   ");
  EXPECT_EQ(T(" .:"), " .:");
  EXPECT_EQ(T(""), "");
}

TEST_F(Translation, TheFirstAmpersandGoesOnlyBeforeAPrintableCharacter) {
  EXPECT_EQ(T("&Starten"), "Start");
  EXPECT_EQ(T("Star&ten"), "Start");
  EXPECT_EQ(T("& Starten"), "& Starten");
  EXPECT_EQ(T("Starten &"), "Starten &");
  EXPECT_EQ(T("&&Starten"), "&Starten");
  // Without a match the mark stays removed.
  EXPECT_EQ(T("&Unbekannt"), "Unbekannt");
  EXPECT_EQ(T("&\xE4nderung"), "\xE4nderung");
}

TEST_F(Translation, NothingChangesInTheSameLanguageOrWithAnUnknownCode) {
  EXPECT_EQ(T("&Starten", "DE", "DE"), "&Starten");
  EXPECT_EQ(T("&Starten", "DE", "XX"), "&Starten");
  EXPECT_EQ(T("&Starten", "XX", "EN"), "&Starten");
  System().Clear();
  EXPECT_EQ(T("&Starten"), "&Starten");
}

TEST_F(Translation, HintsAreTranslatedOnlyBeforeTheBar) {
  auto H = [&](const ByteString& hint) { return System().TranslateHint(hint, "DE", "EN"); };
  EXPECT_EQ(H("Zielordner|Ordner"), "Destination folder|Ordner");
  EXPECT_EQ(H("|Ordner"), "|Ordner");
  EXPECT_EQ(H("&Ordner"), "Folder");
  EXPECT_EQ(H("Ordner:|a|b"), "Folder:|a|b");
}

TEST_F(Translation, TranslateDefaultFollowsTheCurrentLanguage) {
  EXPECT_EQ(TranslateDefault("Starten"), "Starten");
  System().SetCurrentCode("FR");
  EXPECT_EQ(TranslateDefault("Starten"), "Commencer");
  DoneMultiLingua();
  EXPECT_EQ(TranslateDefault("&Starten"), "&Starten");
}

}  // namespace
