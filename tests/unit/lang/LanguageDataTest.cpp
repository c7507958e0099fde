// Reading language data: line kinds, keys, values, group numbers, the
// language table, the export of kept lines and the file intake.
#include <random>

#include "LangTestSupport.h"
#include "tests/support/common/TempFolder.h"

namespace {

using LanguageData = LangTest;

// UTF-16LE bytes of a wide text, built by hand so the check does not lean
// on the code under test.
ByteString Utf16LeBytes(const WideString& text) {
  ByteString bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

TEST_F(LanguageData, ValuesLoseTrailingBlanksColonsAndDotsExceptAMarkedDot) {
  Load(u"DE=Fertig!.\n"
       u"EN=.\n"
       u"FR=Ordner :\n"
       u"IT=Bitte warten...\n"
       u"ES=:\n"
       u"NL=Ende!.  \n"
       u"PL=Frage?!\n"
       u"SV=a!..\n"
       u"CS=Pfad: .\n");
  EXPECT_EQ(TextIn(0, "DE"), "Fertig.");
  EXPECT_EQ(TextIn(0, "EN"), ".");
  EXPECT_EQ(TextIn(0, "FR"), "Ordner");
  EXPECT_EQ(TextIn(0, "IT"), "Bitte warten");
  EXPECT_EQ(TextIn(0, "ES"), ":");
  EXPECT_EQ(TextIn(0, "NL"), "Ende.");
  EXPECT_EQ(TextIn(0, "PL"), "Frage?!");
  EXPECT_EQ(TextIn(0, "SV"), "a.");
  EXPECT_EQ(TextIn(0, "CS"), "Pfad");
}

TEST_F(LanguageData, KeysAreTrimmedUpperCasedAndCutBeforeTheChecks) {
  Load(u"\t de = Eins \t\n"
       u"ABCDEFGHIJKLMNOP=lang\n"
       u"DE             12=abgeschnitten\n"  // 17 characters: the number is cut off
       u"EN0=null\n"
       u"EN-=strich\n"
       u"X=kurz\n"
       u"ABCD=vier\n"
       u"=leer\n"
       u"Kein Gleichheitszeichen\n");
  ASSERT_EQ(System().GroupCount(), 1);
  EXPECT_EQ(System().LanguageCount(), 1);
  EXPECT_EQ(TextIn(0, "DE"), "Eins");
  EXPECT_EQ(System().Group(0)->GroupNumber(), 0);
}

TEST_F(LanguageData, TrailingDigitsOfAKeySetTheGroupNumber) {
  Load(u"EN  3=three\nfr=trois\n\n"
       u"DE12=zwoelf\n\n"
       u"DE=A\n// x;ID=5\n\n"
       u"// id=6\nDE=B\n\n"
       u"// x; ID=7\nDE=C\n\n"
       u"//ID=8\nDE=D\n\n"
       u"// ID=abc;ID=9\nDE=E\n\n"
       u"// ID=$10\nDE=F\n\n"
       u"// ID=-3\nDE=G\n");
  ASSERT_EQ(System().GroupCount(), 9);
  const int32_t expected[] = {3, 12, 5, 6, 0, 0, 0, 16, 0};
  for (int32_t g = 0; g < 9; ++g) EXPECT_EQ(System().Group(g)->GroupNumber(), expected[g]) << "group " << g;
  EXPECT_EQ(TextIn(0, "EN"), "three");
  EXPECT_EQ(TextIn(0, "FR"), "trois");
  EXPECT_EQ(TextIn(1, "DE"), "zwoelf");
}

TEST_F(LanguageData, TheLaterLineForALanguageWinsForTextAndVerbatimLine) {
  Load(u"DE=Alt\nEN=Old\n   DE=Neu  \n");
  ASSERT_EQ(System().GroupCount(), 1);
  EXPECT_EQ(TextIn(0, "DE"), "Neu");
  EXPECT_EQ(System().Group(0)->VerbatimLines()->WideItemText(0), u"DE=Neu");
  EXPECT_EQ(GetLanguageText(MLSystem), u"\uFEFFDE=Neu\r\nEN=Old\r\n\r\n");
}

TEST_F(LanguageData, SingleSlashLinesAreCommentsAndALaterHeaderReplacesTheFirst) {
  Load(u"// erster Kopf;ID=4\n"
       u"/DE=Kommentar\n"
       u"/\n"
       u"DE=Text\n"
       u"// zweiter Kopf\n"
       u"EN=Text en\n");
  ASSERT_EQ(System().GroupCount(), 1);
  const tMLGroup* group = System().Group(0);
  EXPECT_EQ(group->Header(), u"// zweiter Kopf");
  EXPECT_EQ(group->GroupNumber(), 4);
  EXPECT_EQ(TextIn(0, "DE"), "Text");
  EXPECT_EQ(TextIn(0, "EN"), "Text en");
  EXPECT_EQ(System().LanguageCount(), 2);
}

TEST_F(LanguageData, BlankLinesEndGroupsAndGroupsWithoutLanguageLinesAreDropped) {
  Load(u"\n \t\n// nur ein Kopf\nein Kommentar\n\n\n"
       u"DE=A\n \nDE=B\n\t\n// Kopf ohne Text\n");
  ASSERT_EQ(System().GroupCount(), 2);
  EXPECT_EQ(System().Group(0)->Header(), u"");
  EXPECT_EQ(TextIn(0, "DE"), "A");
  EXPECT_EQ(TextIn(1, "DE"), "B");

  Load(u"// a\n\n// b\n// c\n\n\n");
  EXPECT_EQ(System().GroupCount(), 0);
  EXPECT_EQ(System().LanguageCount(), 0);
}

TEST_F(LanguageData, LanguageIndicesFollowTheFirstAppearanceAcrossTheData) {
  const WideString data = u"FR=a\nDE=b\n\nEN=c\nFR=d\nDE=e\n\nIT=f\n";
  for (int round = 0; round < 2; ++round) {
    Load(data);
    ASSERT_EQ(System().LanguageCount(), 4);
    EXPECT_EQ(System().IndexOfLanguage("FR"), 0);
    EXPECT_EQ(System().IndexOfLanguage("DE"), 1);
    EXPECT_EQ(System().IndexOfLanguage("EN"), 2);
    EXPECT_EQ(System().IndexOfLanguage("IT"), 3);
    EXPECT_EQ(System().Group(1)->TextAt(0), "d");
    EXPECT_EQ(System().Group(1)->TextAt(3), "");
  }
  // A new load replaces everything.
  Load(u"EN=x\n");
  EXPECT_EQ(System().LanguageCount(), 1);
  EXPECT_EQ(System().IndexOfLanguage("EN"), 0);
  EXPECT_EQ(System().IndexOfLanguage("FR"), -1);
}

TEST_F(LanguageData, TheLanguageTableNamesLanguagesByTheirLookupCode) {
  Load(u"US=Hello\nDE=Hallo\nPL=Czesc\nXYZ=?\nTR=Merhaba\n");
  ASSERT_EQ(System().LanguageCount(), 5);
  const tLngInfo* us = System().Language(0);
  EXPECT_EQ(us->Code(), "US");
  EXPECT_EQ(us->LookupCode(), "EN");
  EXPECT_EQ(us->NativeName(), "English");
  EXPECT_EQ(us->EnglishName(), "English");
  EXPECT_EQ(System().Language(1)->NativeName(), "Deutsch");
  EXPECT_EQ(System().Language(2)->EnglishName(), "Polish");
  EXPECT_EQ(System().Language(3)->Code(), "XYZ");
  EXPECT_EQ(System().Language(3)->NativeName(), "");
  EXPECT_EQ(System().Language(3)->EnglishName(), "");
  EXPECT_EQ(System().Language(4)->NativeName(), "T\xFCrk\xE7" "e");
  EXPECT_EQ(System().Language(5), nullptr);
  EXPECT_EQ(System().Language(-1), nullptr);

  // Codes are compared exactly, after cutting to three characters.
  EXPECT_EQ(System().IndexOfLanguage("us"), -1);
  EXPECT_EQ(System().IndexOfLanguage("XYZW"), 3);
  EXPECT_EQ(System().AddLanguage("DE"), 1);
  EXPECT_EQ(System().AddLanguage("ABCD"), 5);
  EXPECT_EQ(System().Language(5)->Code(), "ABC");
}

TEST_F(LanguageData, LinesAreTakenInTheAnsiCodePage) {
  if (AnsiCodePage != 1252) GTEST_SKIP() << "needs code page 1252";
  Load(u"DE=Grüße\nEN=Greetings\n");
  EXPECT_EQ(TextIn(0, "DE"), "Gr\xFC\xDF" "e");
}

// The export gives the data back without what was ignored, the language
// lines of a group in the order of the language table.
TEST_F(LanguageData, KeptLinesComeBackWithoutCommentsAndLoadAgainTheSame) {
  const WideString data =
      u"Kommentar am Anfang\n"
      u"// Gruppe eins; ID=7\n"
      u"   DE=Starten  \n"
      u"/ einfacher Strich\n"
      u"en=Start:\n"
      u"XXXXXXXXXXXXXXXXXXX=lang\n"
      u"FR=Commencer\r\n"
      u"\r\n\r\n"
      u"EN=Cancel\r"
      u"EN0=ignoriert\r"
      u"DE=Abbrechen\n"
      u"\n"
      u"// nur Kommentar\n";
  Load(data, true);
  const WideString expected =
      u"\uFEFF// Gruppe eins; ID=7\r\n"
      u"DE=Starten\r\n"
      u"en=Start:\r\n"
      u"FR=Commencer\r\n"
      u"\r\n"
      u"DE=Abbrechen\r\n"
      u"EN=Cancel\r\n"
      u"\r\n";
  const WideString exported = GetLanguageText(MLSystem);
  EXPECT_EQ(exported, expected);

  auto again = std::make_unique<tMLSystem>("DE");
  again->LoadFromText(exported, true);
  ASSERT_EQ(again->GroupCount(), System().GroupCount());
  ASSERT_EQ(again->LanguageCount(), System().LanguageCount());
  for (int32_t l = 0; l < System().LanguageCount(); ++l)
    EXPECT_EQ(again->Language(l)->Code(), System().Language(l)->Code());
  for (int32_t g = 0; g < System().GroupCount(); ++g) {
    EXPECT_EQ(again->Group(g)->Header(), System().Group(g)->Header());
    EXPECT_EQ(again->Group(g)->GroupNumber(), System().Group(g)->GroupNumber());
    for (int32_t l = 0; l < System().LanguageCount(); ++l)
      EXPECT_EQ(again->Group(g)->TextAt(l), System().Group(g)->TextAt(l));
  }
  EXPECT_EQ(GetLanguageText(again.get()), expected);

  // Without the keep-lines flag nothing can be written out.
  Load(data, false);
  EXPECT_EQ(System().GroupCount(), 2);
  EXPECT_FALSE(System().KeepLines());
  EXPECT_EQ(GetLanguageText(MLSystem), u"");
  EXPECT_EQ(GetLanguageText(nullptr), u"");
}

TEST_F(LanguageData, SetTextAtKeepsTheVerbatimLineInStep) {
  Load(u"DE=Ja\n");
  auto& group = const_cast<tMLGroup&>(*System().Group(0));
  const int32_t en = System().AddLanguage("EN");
  group.SetTextAt(en, "Yes");
  EXPECT_EQ(group.TextOf("EN"), "Yes");
  EXPECT_EQ(GetLanguageText(MLSystem), u"\uFEFFDE=Ja\r\nEN=Yes\r\n\r\n");
  group.SetTextAt(-1, "nothing");
  EXPECT_EQ(group.Texts().Count(), 2);
}

class LanguageFile : public LangTest {
protected:
  testsupport::TempFolder folder;
  ByteString Write(const char* name, const ByteString& bytes) {
    const ByteString path = folder / name;
    EXPECT_TRUE(testsupport::WriteHostFile(path, bytes));
    return path;
  }
};

TEST_F(LanguageFile, LoadsUtf16WithMarkAndAnsiWithout) {
  const ByteString utf16 = Write("a.lng", "\xFF\xFE" + Utf16LeBytes(u"DE=Schließen\r\nEN=Close\r\n"));
  EXPECT_TRUE(System().LoadFromFile(utf16, true));
  ASSERT_EQ(System().GroupCount(), 1);
  EXPECT_EQ(TextIn(0, "EN"), "Close");

  const ByteString ansi = Write("b.lng", "DE=Ja\r\nEN=Yes\r\n\r\nDE=Nein\nEN=No\n");
  EXPECT_TRUE(System().LoadFromFile(ansi, false));
  ASSERT_EQ(System().GroupCount(), 2);
  EXPECT_EQ(TextIn(1, "EN"), "No");
  EXPECT_FALSE(System().KeepLines());
}

TEST_F(LanguageFile, RejectedOrMissingFilesKeepWhatWasLoaded) {
  Load(u"DE=Ja\nEN=Yes\n");
  const ByteString content = "DE=Nein\r\nEN=No\r\n";
  const ByteString rejected[] = {
      Write("utf8.lng", "\xEF\xBB\xBF" + content),
      Write("utf16be.lng", ByteString("\xFE\xFF\0D\0E\0=\0x", 10)),
      Write("utf32le.lng", ByteString("\xFF\xFE\0\0D\0\0\0", 8)),
      Write("utf32be.lng", ByteString("\0\0\xFE\xFF\0\0\0D", 8)),
      Write("empty.lng", ""),
      folder / "missing.lng",
  };
  for (const ByteString& path : rejected) {
    EXPECT_FALSE(System().LoadFromFile(path, true)) << path;
    ASSERT_EQ(System().GroupCount(), 1) << path;
    EXPECT_EQ(TextIn(0, "EN"), "Yes") << path;
    LoadLanguageFile(path, true);
    EXPECT_EQ(TextIn(0, "EN"), "Yes") << path;
  }
}

TEST_F(LanguageFile, LoadLanguageFileCreatesTheSystemWhenMissing) {
  const ByteString path = Write("c.lng", "\xFF\xFE" + Utf16LeBytes(u"//h\r\nDE=Ja\r\nEN=Yes\r\n"));
  DoneMultiLingua();
  LoadLanguageFile(path, true);
  ASSERT_NE(MLSystem, nullptr);
  EXPECT_EQ(System().BaseCode(), "DE");
  EXPECT_EQ(System().CurrentCode(), "DE");
  EXPECT_EQ(System().FallbackCode(), "EN");
  EXPECT_EQ(GetLanguageText(MLSystem), u"\uFEFF//h\r\nDE=Ja\r\nEN=Yes\r\n\r\n");
}

// Whatever the data, the loaded groups hold only valid languages, and the
// export read back reproduces itself.
TEST_F(LanguageData, RandomDataLoadsWithoutHarmAndItsExportIsStable) {
  std::mt19937 random(20261208);
  const char16_t pieces[] = {u'=', u'/', u'/', u'\r', u'\n', u'\n', u' ', u'\t', u'!', u'.', u':', u';', u'&',
                             u'-', u'0', u'7', u'D', u'E', u'N', u'd', u'e', u'x', u'I', u'|', u'%',
                             0x0000, 0xFEFF, 0xFFFE, 0xD800, 0xDC00, 0x00E4, 0x0142, 0x20AC};
  for (int round = 0; round < 10000; ++round) {
    WideString text;
    const int length = static_cast<int>(random() % 120);
    for (int i = 0; i < length; ++i) {
      const unsigned pick = random() % 4;
      if (pick == 0)
        text += static_cast<char16_t>(random() & 0xFFFF);
      else if (pick == 1 && i % 9 == 0)
        text += u"DE=";
      else
        text += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
    }
    const bool keep = random() % 4 != 0;
    System().LoadFromText(text, keep);
    for (int32_t l = 0; l < System().LanguageCount(); ++l) {
      const ByteString& code = System().Language(l)->Code();
      ASSERT_TRUE(code.size() == 2 || code.size() == 3);
      ASSERT_EQ(code.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), ByteString::npos);
    }
    for (int32_t g = 0; g < System().GroupCount(); ++g) ASSERT_GT(System().Group(g)->Texts().Count(), 0);
    System().Translate("Starten", "DE", "EN");

    const WideString first = GetLanguageText(MLSystem);
    if (!keep) {
      ASSERT_EQ(first, u"");
      continue;
    }
    tMLSystem second("DE");
    second.LoadFromText(first, true);
    const WideString secondText = GetLanguageText(&second);
    tMLSystem third("DE");
    third.LoadFromText(secondText, true);
    ASSERT_EQ(GetLanguageText(&third), secondText) << "round " << round;
  }
}

TEST_F(LanguageData, AMegabyteLineLoads) {
  const std::size_t size = 1 << 20;
  Load(u"DE=" + WideString(size, u'x') + u" ...\nEN=big\n");
  ASSERT_EQ(System().GroupCount(), 1);
  EXPECT_EQ(TextIn(0, "DE"), ByteString(size, 'x'));
  EXPECT_EQ(System().Translate(ByteString(size, 'x') + ":", "DE", "EN"), "big:");

  Load(WideString(size, u'\n'));
  EXPECT_EQ(System().GroupCount(), 0);
  Load(WideString(size, u'/'));
  EXPECT_EQ(System().GroupCount(), 0);
  Load(WideString(size, u'='));
  EXPECT_EQ(System().GroupCount(), 0);
}

}  // namespace
