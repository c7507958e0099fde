// Text groups: numbered default texts, answered in the current language.
#include <cstdlib>

#include "LangTestSupport.h"

namespace {

using TextGroups = LangTest;

TEST_F(TextGroups, EntriesStandInTextOrderAndEqualTextsAreAddedOnce) {
  TMLStringList* group = NewTextGroup();
  group->Add255Obj("Unit1", 0);
  group->Add255Obj("Starten", 1);
  group->Add255Obj("STARTEN", 2);
  group->Add255Obj("Abbrechen", 3);
  ASSERT_EQ(group->Count(), 3);
  EXPECT_EQ(group->ItemText(0), "Abbrechen");
  EXPECT_EQ(group->ItemText(2), "Unit1");
  EXPECT_EQ(group->TextOfId(0), "Unit1");
  EXPECT_EQ(group->TextOfId(1), "Starten");
  EXPECT_EQ(group->TextOfId(2), "");
  EXPECT_EQ(group->TextOfId(-1), "");
  EXPECT_NE(NewTextGroup(), group);
}

TEST_F(TextGroups, TextsAreTranslatedBeforeLineBreaksAndArgumentsGoIn) {
  Load(u"DE=Starten\nEN=Start\n\n"
       u"DE=Zeile eins#13#Zeile zwei\nEN=Line one#13#Line two\n\n"
       u"DE=Der Ordner %1 fehlt\nEN=The folder %1 is missing\n");
  TMLStringList* group = NewTextGroup();
  group->Add255Obj("Unit1", 0);
  group->Add255Obj("Starten", 1);
  group->Add255Obj("Zeile eins#13#Zeile zwei", 2);
  group->Add255Obj("Der Ordner %1 fehlt", 3);
  group->Add255Obj("%1 und %1", 4);

  EXPECT_EQ(group->TextOfId(2), "Zeile eins\rZeile zwei");
  EXPECT_EQ(group->TextOfIdWith(3, "C:\\Quillon"), "Der Ordner C:\\Quillon fehlt");

  ASSERT_TRUE(ChangeLanguage("DE", "EN", ""));
  EXPECT_EQ(group->TextOfId(1), "Start");
  EXPECT_EQ(group->TextOfId(2), "Line one\rLine two");
  // The argument is not searched again.
  EXPECT_EQ(group->TextOfIdWith(3, "%1"), "The folder %1 is missing");
  EXPECT_EQ(group->TextOfIdWith(4, "x"), "x und x");
  EXPECT_EQ(group->TextOfIdWith(9, "x"), "");
}

// Default texts are Windows-1252; on a Polish system they must match the
// language data as converted to code page 1250, and the Polish texts come
// back in that code page.
class CodePage1250 : public LangTest {
protected:
  void SetUp() override {
    LangTest::SetUp();
    ResetMultiLingua();
#ifndef _WIN32
    platform::SetNativeCodePage(1250);
#else
    if (platform::AnsiCodePage() != 1250) {
      if (std::getenv("Q_EXPECT_ACP_1250")) FAIL() << "the system's code page is " << platform::AnsiCodePage();
      GTEST_SKIP() << "runs on a system with code page 1250";
    }
#endif
    InitMultiLingua();
  }
};

TEST_F(CodePage1250, DefaultTextsAreConvertedAndMatchTheLanguageData) {
  ASSERT_EQ(AnsiCodePage, 1250);
  TMLStringList* group = NewTextGroup();
  group->Add255Obj("Unit1", 0);
  group->Add255Obj("Schlie\xDF" "en: \xE4 \xF6 \xFC \xC4 \xD1", 1);
  // Letters that both code pages have keep their bytes; a letter that 1250
  // lacks must not come through as the byte of another letter.
  const ByteString text = group->TextOfId(1);
  ASSERT_EQ(text.size(), 20u);
  EXPECT_EQ(text.substr(0, 19), "Schlie\xDF" "en: \xE4 \xF6 \xFC \xC4 ");
  EXPECT_NE(text[19], '\xD1');

  Load(u"DE=Schließen: ä ö ü Ä Ñ\nPL=Zamknięcie: ą ł ś ż\n");
  ASSERT_TRUE(ChangeLanguage("DE", "PL", ""));
  EXPECT_EQ(group->TextOfId(1), "Zamkni\xEA" "cie: \xB9 \xB3 \x9C \xBF");
  EXPECT_EQ(CurrentCharset, 238);
}

}  // namespace
