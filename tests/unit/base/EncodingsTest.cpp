// The text encodings and the text services of the platform seam. The same
// expectations meet the portable tables natively and the real Win32 calls
// under Wine.
#include <gtest/gtest.h>

#include "base/Encodings.h"
#include "base/WideStringList.h"
#include "platform/Text.h"

namespace {
ByteString Bytes(std::initializer_list<int> values) {
  ByteString bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}
}  // namespace

TEST(ByteOrderMark, LongerMarksAreTestedFirst) {
  struct Case {
    ByteString data;
    TByteOrderMark kind;
    int32_t length;
  };
  const Case cases[] = {
      {Bytes({0xFF, 0xFE, 0x00, 0x00}), bomUtf32LE, 4},
      {Bytes({0xFF, 0xFE, 0x00, 0x00, 0x41}), bomUtf32LE, 4},
      {Bytes({0x00, 0x00, 0xFE, 0xFF}), bomUtf32BE, 4},
      {Bytes({0xEF, 0xBB, 0xBF}), bomUtf8, 3},
      {Bytes({0xFF, 0xFE, 0x41}), bomUtf16LE, 2},
      {Bytes({0xFF, 0xFE, 0x00}), bomUtf16LE, 2},
      {Bytes({0xFF, 0xFE}), bomUtf16LE, 2},
      {Bytes({0xFE, 0xFF, 0x00, 0x41}), bomUtf16BE, 2},
      {Bytes({0xEF, 0xBB}), bomNone, 0},
      {Bytes({0x00, 0x00, 0xFE}), bomNone, 0},
      {Bytes({0xFF}), bomNone, 0},
      {Bytes({0x41, 0x00}), bomNone, 0},
  };
  for (const Case& c : cases) {
    int32_t length = -1;
    EXPECT_EQ(DetectByteOrderMark(c.data.data(), static_cast<int32_t>(c.data.size()), length), c.kind)
        << c.data.size();
    EXPECT_EQ(length, c.length);
  }
  int32_t length = -1;
  EXPECT_EQ(DetectByteOrderMark(nullptr, 4, length), bomNone);
  EXPECT_EQ(length, 0);
  const ByteString mark = Bytes({0xFF, 0xFE, 0x00, 0x00});
  EXPECT_EQ(DetectByteOrderMark(mark.data(), 1, length), bomNone);  // the count rules
  EXPECT_EQ(DetectByteOrderMark(mark.data(), 3, length), bomUtf16LE);
}

TEST(BytesToWide, TakesLittleEndianPairs) {
  EXPECT_EQ(BytesToWide(""), u"");
  EXPECT_EQ(BytesToWide(Bytes({0x41, 0x00, 0xAC, 0x20})), u"A\u20AC");
  EXPECT_EQ(BytesToWide(Bytes({0xFF, 0xFE, 0x41, 0x00, 0x42})), u"A");  // odd last byte dropped
  EXPECT_EQ(BytesToWide(Bytes({0xEF, 0xBB, 0xBF, 0x41, 0x42})), u"");
  EXPECT_EQ(BytesToWide(Bytes({0xFF, 0xFE, 0x00, 0x00, 0x41, 0x00})), u"");
  EXPECT_EQ(BytesToWide("AB"), u"\u4241");  // UTF-8 without a mark is read as pairs
  EXPECT_EQ(BytesToWide(Bytes({0x41})), u"");
  EXPECT_EQ(WideToBytes(u"A\u20AC"), Bytes({0x41, 0x00, 0xAC, 0x20}));
}

TEST(CodePages, AppendKeepsWhatWasThere) {
  WideString text = u"pre:";
  AppendCodePageToWide("Gr\xFC\xDF" "e \x80", 7, platform::kCp1252, text);
  EXPECT_EQ(text, u"pre:Gr\u00FC\u00DFe \u20AC");
  AppendCodePageToWide(nullptr, 3, platform::kCp1252, text);
  AppendCodePageToWide("abc", 0, platform::kCp1252, text);
  AppendCodePageToWide("abc", -1, platform::kCp1252, text);
  EXPECT_EQ(text, u"pre:Gr\u00FC\u00DFe \u20AC");
  AppendCodePageToWide("\xA3\xB3\x8A", 3, 1250, text);
  EXPECT_EQ(text, u"pre:Gr\u00FC\u00DFe \u20AC\u0141\u0142\u0160");
  AppendCodePageToWide("a\0b", 3, platform::kCp1252, text);  // the count rules, not NUL
  EXPECT_EQ(text.substr(text.size() - 3), WideString(u"a\0b", 3));
}

TEST(CodePages, ShortTextAndWideToCodePage) {
  EXPECT_EQ(Str255ToWide("", platform::kCp1252), u"");
  EXPECT_EQ(Str255ToWide("Schlie\xDF" "en", platform::kCp1252), u"Schlie\u00DFen");

  EXPECT_EQ(WideToCodePage(u"", platform::kCp1252), "");
  EXPECT_EQ(WideToCodePage(u"Gr\u00FC\u00DFe \u20AC", platform::kCp1252), "Gr\xFC\xDF" "e \x80");
  EXPECT_EQ(WideToCodePage(WideString(u"ab\0cd", 5), platform::kCp1252), "ab");
  EXPECT_EQ(WideToCodePage(WideString(u"\0cd", 3), platform::kCp1252), "");
  EXPECT_EQ(WideToCodePage(u"x\u4E2Dy", platform::kCp1252), "x?y");  // the default character
  EXPECT_EQ(WideToCodePage(u"\u0141\u00F3d\u017A", 1250), "\xA3\xF3" "d\x9F");
  // A system whose ANSI code page is UTF-8 still gets its texts.
  EXPECT_EQ(WideToCodePage(u"\u00E4\u20AC", 65001), "\xC3\xA4\xE2\x82\xAC");
  EXPECT_EQ(Str255ToWide("\xC3\xA4", 65001), u"\u00E4");
  EXPECT_EQ(WideToCodePage(u"abc", 12345), "");  // no such code page
  EXPECT_EQ(Str255ToWide("abc", 12345), u"");
}

TEST(CodePages, GermanDefaultsInCentralEurope) {
  // Compiled-in 1252 texts, shown on a 1250 system.
  const ShortText german = "Gr\xF6\xDF" "e: \x80 \x84" "ja\x93";
  EXPECT_EQ(WideToCodePage(Str255ToWide(german, platform::kCp1252), 1250),
            "Gr\xF6\xDF" "e: \x80 \x84" "ja\x93");
}

// A base letter followed by a combining mark becomes the precomposed
// character where the code page has one (WC_COMPOSITECHECK), as texts typed
// or pasted in decomposed form reach the ANSI side.
TEST(CodePages, ComposesBaseAndMark) {
  EXPECT_EQ(WideToCodePage(u"Cafe\u0301", platform::kCp1252), "Caf\xE9");
  EXPECT_EQ(WideToCodePage(u"A\u030Angstr\u00F6m", platform::kCp1252), "\xC5ngstr\xF6m");
  EXPECT_EQ(WideToCodePage(u"S\u030Ckoda", platform::kCp1252), "\x8Akoda");  // above Latin-1
  EXPECT_EQ(WideToCodePage(u"z\u0307", 1250), "\xBF");
  EXPECT_EQ(WideToCodePage(u"\u0435\u0308", 1251), "\xB8");
  // A pair whose character the code page lacks is one default character.
  EXPECT_EQ(WideToCodePage(u"a<\u0338b", platform::kCp1252), "a?b");
  // UTF-8 holds every mark: nothing is composed.
  EXPECT_EQ(WideToCodePage(u"e\u0301", 65001), "e\xCC\x81");
}

TEST(PlatformText, CompositeCheckFlags) {
  using platform::WideToMultiByte;
  const uint32_t check = platform::kWcCompositeCheck;
  char bytes[8] = {};
  EXPECT_EQ(WideToMultiByte(platform::kCp1252, check, u"S\u030C", 2, nullptr, 0), 1);  // counted as written
  EXPECT_EQ(WideToMultiByte(platform::kCp1252, check, u"S\u030C", 2, bytes, 1), 1);
  EXPECT_EQ(bytes[0], '\x8A');
  EXPECT_EQ(WideToMultiByte(platform::kCp1252, 0, u"S\u030C", 2, bytes, 8), 2);  // only when asked
  EXPECT_EQ(ByteString(bytes, 2), "S?");
  // No precomposed character: each converted (the default), the mark
  // dropped, or the pair as one default character.
  EXPECT_EQ(WideToMultiByte(platform::kCp1252, check, u"<\u0338", 2, bytes, 8), 2);
  EXPECT_EQ(ByteString(bytes, 2), "<?");
  EXPECT_EQ(WideToMultiByte(platform::kCp1252, check | platform::kWcDiscardNs, u"<\u0338", 2, bytes, 8), 1);
  EXPECT_EQ(bytes[0], '<');
  EXPECT_EQ(WideToMultiByte(platform::kCp1252, check | platform::kWcDefaultChar, u"<\u0338", 2, bytes, 8), 1);
  EXPECT_EQ(bytes[0], '?');
  // A mark before its letter composes nothing.
  EXPECT_EQ(WideToMultiByte(platform::kCp1252, check, u"\u030CS", 2, bytes, 8), 2);
  EXPECT_EQ(ByteString(bytes, 2), "?S");
}

TEST(PlatformText, ConversionBufferContract) {
  const char* text = "abc";
  EXPECT_EQ(platform::MultiByteToWide(platform::kCp1252, 0, text, 3, nullptr, 0), 3);
  EXPECT_EQ(platform::MultiByteToWide(platform::kCp1252, 0, text, -1, nullptr, 0), 4);
  char16_t small[2];
  EXPECT_EQ(platform::MultiByteToWide(platform::kCp1252, 0, text, 3, small, 2), 0);
  char16_t wide[4] = {};
  EXPECT_EQ(platform::MultiByteToWide(platform::kCp1252, 0, text, -1, wide, 4), 4);
  EXPECT_EQ(WideString(wide), u"abc");
  EXPECT_EQ(platform::MultiByteToWide(platform::kCp1252, 0, text, 0, nullptr, 0), 0);

  char bytes[8] = {};
  EXPECT_EQ(platform::WideToMultiByte(platform::kCp1252, 0, u"\u00E4\u20AC", -1, nullptr, 0), 3);
  EXPECT_EQ(platform::WideToMultiByte(platform::kCp1252, 0, u"\u00E4\u20AC", 2, bytes, 1), 0);
  EXPECT_EQ(platform::WideToMultiByte(platform::kCp1252, 0, u"\u00E4\u20AC", 2, bytes, 8), 2);
  EXPECT_EQ(ByteString(bytes, 2), "\xE4\x80");

  // UTF-8 both ways, with a character outside the basic plane.
  const ByteString utf8 = "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80";
  WideString decoded;
  AppendCodePageToWide(utf8.data(), static_cast<int32_t>(utf8.size()), 65001, decoded);
  EXPECT_EQ(decoded, u"\u00E4\u20AC\U0001F600");
  char back[16] = {};
  EXPECT_EQ(platform::WideToMultiByte(65001, 0, decoded.c_str(), -1, back, 16), 10);
  EXPECT_EQ(ByteString(back), utf8);
}

TEST(PlatformText, LocaleComparison) {
  using platform::CompareAnsi;
  using platform::CompareWideText;
  using platform::kNormIgnoreCase;
  EXPECT_EQ(CompareAnsi(kNormIgnoreCase, "Setup", "SETUP"), 2);
  EXPECT_EQ(CompareAnsi(kNormIgnoreCase, "apple", "Banana"), 1);
  EXPECT_EQ(CompareAnsi(kNormIgnoreCase, "abc", "ab"), 3);
  EXPECT_EQ(CompareAnsi(kNormIgnoreCase, "", ""), 2);
  EXPECT_EQ(CompareAnsi(kNormIgnoreCase, "\xC4pfel", "\xE4PFEL"), 2);
  EXPECT_EQ(CompareAnsi(0, "a", "A"), 1);  // lower case first
  EXPECT_EQ(CompareAnsi(0, "B", "a"), 3);
  EXPECT_EQ(CompareAnsi(0, "same", "same"), 2);

  EXPECT_EQ(CompareWideText(kNormIgnoreCase, u"\u00C4pfel", u"\u00E4PFEL"), 2);
  EXPECT_EQ(CompareWideText(kNormIgnoreCase, u"\u0141\u00F3d\u017A", u"\u0142\u00D3D\u0179"), 2);
  EXPECT_EQ(CompareWideText(kNormIgnoreCase, u"\u0436", u"\u0416"), 2);
  EXPECT_EQ(CompareWideText(0, u"x", u"X"), 1);
  EXPECT_EQ(CompareWideText(kNormIgnoreCase, u"alpha", u"beta"), 1);
#ifdef _WIN32
  // The locale weighs hyphens and apostrophes less than letters and sorts
  // umlauts with their base letters; the portable fallback is ordinal.
  EXPECT_EQ(CompareAnsi(kNormIgnoreCase, "a-c", "ab"), 3);
  EXPECT_EQ(CompareAnsi(kNormIgnoreCase, "don't", "dont"), 3);
  EXPECT_EQ(CompareAnsi(kNormIgnoreCase, "\xC4pfel", "Birne"), 1);
  EXPECT_EQ(CompareWideText(kNormIgnoreCase, u"\u00C4pfel", u"Birne"), 1);
#endif
}

TEST(PlatformText, UpperCaseBySystemCodePage) {
  EXPECT_EQ(platform::UpperCaseAnsi("abc \xE4\xF6\xFC\xDF 1"), "ABC \xC4\xD6\xDC\xDF 1");
  EXPECT_EQ(platform::UpperCaseAnsi(""), "");
  EXPECT_NE(platform::SystemDefaultLangId(), 0);
#ifndef _WIN32
  EXPECT_EQ(platform::AnsiCodePage(), 1252u);  // the native default
#endif
}

// A Central European system (code page 1250). Natively the test sets it up;
// under Wine it runs when the prefix is shown a Polish system
// (LC_ALL=pl_PL.UTF-8).
TEST(PlatformText, CentralEuropeanSystem) {
#ifndef _WIN32
  platform::SetNativeCodePage(1250);
  platform::SetNativeLangId(0x0415);
  EXPECT_EQ(platform::SystemDefaultLangId(), 0x0415);
#else
  if (platform::AnsiCodePage() != 1250) GTEST_SKIP() << "the system code page is not 1250";
#endif
  EXPECT_EQ(platform::AnsiCodePage(), 1250u);
  EXPECT_EQ(platform::UpperCaseAnsi("\xB3\xF3" "d\x9F"), "\xA3\xD3" "D\x8F");
  EXPECT_EQ(platform::CompareAnsi(platform::kNormIgnoreCase, "\xB3" "a", "\xA3" "A"), 2);
  WideString wide;
  AppendCodePageToWide("\xB3", 1, platform::kCpThreadAcp, wide);
  EXPECT_EQ(wide, u"\u0142");
  TWStringList list;  // the byte face follows the thread's code page
  list.InsertAt(0, "\xA3\xF3" "d\x9F");
  EXPECT_EQ(list.WideItemText(0), u"\u0141\u00F3d\u017A");
  list.AddWide(u"\u4E2D");
  EXPECT_EQ(list.ItemText(1), "?");
#ifndef _WIN32
  platform::SetNativeCodePage(platform::kCp1252);
  platform::SetNativeLangId(0x0409);
#endif
}
