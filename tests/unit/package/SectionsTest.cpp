#include <gtest/gtest.h>

#include "TempFolder.h"
#include "package/OwnFileReader.h"
#include "package/ProgramImage.h"
#include "package/WholeFiles.h"
#include "tests/support/common/TinyImage.h"
#include "package/Sections.h"
#include "platform/Process.h"

namespace {

std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string LengthBytes(int32_t n) {
  const uint32_t u = static_cast<uint32_t>(n);
  return Bytes({static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)});
}

// Restores the own-file state whatever a test leaves behind.
class OwnSectionsTest : public ::testing::Test {
protected:
  void TearDown() override {
    ResetOwnSections();
    SetOwnFilePathForTests("");
  }
};

}  // namespace

TEST(SectionMarker, FramesTheScrambledName) {
  EXPECT_EQ(MakeSectionMarker(""), Bytes({0xF7, 0xF7}));

  const ByteString name = "Section:Setup.cmd";  // 17 bytes
  const ByteString marker = MakeSectionMarker(name);
  ASSERT_EQ(marker.size(), 19u);
  EXPECT_EQ(static_cast<unsigned char>(marker.front()), 0xF7);
  EXPECT_EQ(static_cast<unsigned char>(marker.back()), 0xF7);
  for (std::size_t i = 0; i < name.size(); ++i)
    EXPECT_EQ(static_cast<unsigned char>(marker[i + 1]), static_cast<unsigned char>(name[i]) ^ kSectionMarkerKey);
  EXPECT_EQ(marker.find(name), ByteString::npos);
}

TEST(SectionMarker, LongNamesAreCutTo255Bytes) {
  EXPECT_EQ(MakeSectionMarker(ByteString(253, 'a')).size(), 255u);
  const ByteString cut = MakeSectionMarker(ByteString(300, 'a'));
  ASSERT_EQ(cut.size(), 255u);
  // The last byte is then a name byte, lowered by one and not scrambled.
  EXPECT_EQ(cut.back(), 'a' - 1);
}

TEST(SectionMarker, FindReportsPositionAndLength) {
  std::size_t length = 0;
  const ByteString data = "xyz" + MakeSectionMarker("A") + "rest";
  EXPECT_EQ(FindSectionMarker("A", data, length), 4u);
  EXPECT_EQ(length, 3u);
  length = 0;
  EXPECT_EQ(FindSectionMarker("Section:Missing", data, length), 0u);
  EXPECT_EQ(length, 17u);
}

TEST(ReadSectionIn, FindsPayloadsOfBuiltSections) {
  const ByteString data = BuildSection("Section:BeginningMark", "") + BuildSection("one", "first payload") +
                          BuildSection("two", ByteString("\0\xF7z", 3));
  std::string_view payload;
  ASSERT_TRUE(ReadSectionIn("one", data, payload));
  EXPECT_EQ(payload, "first payload");
  ASSERT_TRUE(ReadSectionIn("two", data, payload));
  EXPECT_EQ(payload, std::string_view("\0\xF7z", 3));
  // Zero length: found, empty.
  ASSERT_TRUE(ReadSectionIn("Section:BeginningMark", data, payload));
  EXPECT_TRUE(payload.empty());
  // The payload views the searched data rather than copying it.
  ASSERT_TRUE(ReadSectionIn("one", data, payload));
  EXPECT_GE(payload.data(), data.data());
  EXPECT_LE(payload.data() + payload.size(), data.data() + data.size());
  // Names are compared exactly.
  EXPECT_FALSE(ReadSectionIn("ONE", data, payload));
  EXPECT_TRUE(payload.empty());
}

TEST(ReadSectionIn, OddLengths) {
  std::string_view payload;
  const ByteString marker = MakeSectionMarker("s");

  // A length past the end yields everything behind the length bytes.
  const ByteString tooLong = marker + LengthBytes(1000) + "abc" + BuildSection("next", "n");
  ASSERT_TRUE(ReadSectionIn("s", tooLong, payload));
  EXPECT_EQ(payload, "abc" + BuildSection("next", "n"));

  // A negative length: found, empty.
  ASSERT_TRUE(ReadSectionIn("s", marker + LengthBytes(-5) + "abcdef", payload));
  EXPECT_TRUE(payload.empty());
  ASSERT_TRUE(ReadSectionIn("s", marker + LengthBytes(INT32_MIN) + "abcdef", payload));
  EXPECT_TRUE(payload.empty());

  // Fewer than 4 bytes behind the marker: not found.
  EXPECT_FALSE(ReadSectionIn("s", marker + "abc", payload));
  EXPECT_FALSE(ReadSectionIn("s", marker, payload));
  // Exactly the 4 length bytes: found, empty.
  ASSERT_TRUE(ReadSectionIn("s", marker + LengthBytes(3), payload));
  EXPECT_TRUE(payload.empty());
}

TEST(ReadSectionIn, EarlierOccurrenceInsideAnotherPayloadWins) {
  const ByteString hidden = MakeSectionMarker("b") + LengthBytes(2) + "in";
  const ByteString data = BuildSection("a", "x" + hidden + "y") + BuildSection("b", "real");
  std::string_view payload;
  ASSERT_TRUE(ReadSectionIn("b", data, payload));
  EXPECT_EQ(payload, "in");
}

TEST(BuildSection, LayoutIsMarkerLengthPayload) {
  const ByteString payload(300, 'p');
  EXPECT_EQ(BuildSection("n", payload), MakeSectionMarker("n") + Bytes({0x2C, 0x01, 0, 0}) + payload);
}

TEST_F(OwnSectionsTest, ReadSectionNeedsLoadedSections) {
  const ByteString data = BuildSection("a", "payload");
  std::string_view payload = "stale";
  ASSERT_EQ(SectionsState(), kSectionsNotLoaded);
  EXPECT_FALSE(ReadSection("a", data, payload));
  EXPECT_TRUE(payload.empty());
}

TEST_F(OwnSectionsTest, LoadSplitsStubAndSections) {
  TempFolder temp;
  const ByteString sections = BuildSection(kSectionBeginningMark, "") + BuildSection(kSectionSetupCmd, "script");
  // The sections are looked for where the program image ends first; a
  // program with bytes of its own there (symbols, an installer's data) is
  // searched as a stub without an image header is.
  const ByteString imageWithOwnData = testsupport::TinyImage(0) + "own data";
  ImageHeaderFields fields;
  ASSERT_TRUE(ReadImageHeader(imageWithOwnData, fields));
  EXPECT_EQ(fields.imageEnd, 0x400u);
  const ByteString stub = "MZ stub image";
  ByteString payload;
  for (const ByteString& part : {imageWithOwnData, stub}) {
    ResetOwnSections();
    SetOwnFilePathForTests(temp.Write("setup.exe", part + sections));
    LoadOwnSections();
    ASSERT_EQ(SectionsState(), kSectionsLoaded);
    EXPECT_EQ(StubPart(), part);
    ASSERT_TRUE(ReadOwnSection(kSectionSetupCmd, payload));
    EXPECT_EQ(payload, "script");
  }

  // Loaded is final: a changed file is not read again. On Windows it cannot
  // even be changed while it is loaded: the one handle shares reading only.
#ifdef _WIN32
  EXPECT_ANY_THROW(temp.Write("setup.exe", "changed"));
#else
  temp.Write("setup.exe", "changed");
#endif
  LoadOwnSections();
  EXPECT_EQ(StubPart(), stub);
}

TEST_F(OwnSectionsTest, FileWithoutBeginningMarkLoadsWithoutSections) {
  TempFolder temp;
  const ByteString file = "stub" + BuildSection(kSectionSetupCmd, "script");
  SetOwnFilePathForTests(temp.Write("plain.exe", file));
  LoadOwnSections();
  EXPECT_EQ(SectionsState(), kSectionsLoaded);
  EXPECT_EQ(StubPart(), file);
  ByteString payload;
  EXPECT_FALSE(ReadOwnSection(kSectionSetupCmd, payload));
}

TEST_F(OwnSectionsTest, FailedLoadIsRetried) {
  TempFolder temp;
  SetOwnFilePathForTests(temp.Path("missing.exe"));
  LoadOwnSections();
  EXPECT_EQ(SectionsState(), kSectionsLoadFailed);
  temp.Write("empty.exe", "");
  SetOwnFilePathForTests(temp.Path("empty.exe"));
  LoadOwnSections();
  EXPECT_EQ(SectionsState(), kSectionsLoadFailed);
  ByteString payload;
  EXPECT_FALSE(ReadOwnSection(kSectionBeginningMark, payload));

  SetOwnFilePathForTests(temp.Write("good.exe", "stub" + BuildSection(kSectionBeginningMark, "")));
  LoadOwnSections();
  EXPECT_EQ(SectionsState(), kSectionsLoaded);
  EXPECT_EQ(StubPart(), "stub");
}

// The own file is searched in pieces (64 KiB from the section part's start,
// then twice as large each): a marker cut by a piece's end, a first
// occurrence inside another payload, a stated length of -1 and one past the
// end give what the search over the whole section part gives.
TEST_F(OwnSectionsTest, SectionsFoundInPiecesAsInTheWholeFile) {
  TempFolder temp;
  const ByteString stub(1000, 'S');
  const ByteString marker = MakeSectionMarker(kSectionSetupCmd);
  for (std::size_t pieceEnd : {stub.size() + (64 << 10), stub.size() + (192 << 10)}) {
    for (std::size_t cut = 1; cut < marker.size(); cut += 5) {
      ByteString sections = BuildSection(kSectionBeginningMark, "");
      // The Setup.lng payload ends so that the Setup.cmd marker straddles a piece's end.
      const std::size_t header = stub.size() + sections.size() + MakeSectionMarker(kSectionSetupLng).size() + 4;
      sections += BuildSection(kSectionSetupLng, ByteString(pieceEnd - header - cut, 'L'));
      sections += BuildSection(kSectionSetupCmd, "script");
      sections += MakeSectionMarker(kSectionSetupBin) + LengthBytes(-1);
      sections += MakeSectionMarker(kSectionUninst) + LengthBytes(0x7FFFFFFF) + "rest";
      SetOwnFilePathForTests(temp.Write("setup.exe", stub + sections));
      LoadOwnSections();
      ASSERT_EQ(StubPart(), stub);
      for (const char* name : {kSectionSetupLng, kSectionSetupCmd, kSectionSetupBin, kSectionUninst, "Section:None"}) {
        std::string_view whole;
        ByteString streamed;
        EXPECT_EQ(ReadOwnSection(name, streamed), ReadSectionIn(name, sections, whole)) << name << " cut " << cut;
        EXPECT_EQ(streamed, whole) << name << " cut " << cut;
      }
      ResetOwnSections();
    }
  }
}

// A signed package: the certificate table stands behind the last section,
// and its padding is not covered by the signature. Nothing found there
// counts: no section behind it, no payload reaching into it; a reader of its
// own on the file (for another thread) ends there too.
TEST_F(OwnSectionsTest, SectionsEndAtTheCertificateTable) {
  TempFolder temp;
  ByteString sections = BuildSection(kSectionBeginningMark, "") + BuildSection(kSectionSetupCmd, "script") +
                        MakeSectionMarker(kSectionSetupBin) + LengthBytes(100) + "packed";
  const std::size_t certificateAt = testsupport::TinyImage(0).size() + sections.size();
  const ByteString stub = testsupport::TinyImage(0, static_cast<uint32_t>(certificateAt), 64);
  const ByteString certificate = "CERT" + BuildSection(kSectionUninst, "added after signing");
  SetOwnFilePathForTests(temp.Write("signed.exe", stub + sections + certificate));
  LoadOwnSections();
  ASSERT_EQ(SectionsState(), kSectionsLoaded);
  EXPECT_EQ(StubPart(), stub);
  ByteString payload;
  EXPECT_TRUE(ReadOwnSection(kSectionSetupCmd, payload));
  EXPECT_EQ(payload, "script");
  EXPECT_TRUE(ReadOwnSection(kSectionSetupBin, payload));
  EXPECT_EQ(payload, "packed");
  EXPECT_FALSE(ReadOwnSection(kSectionUninst, payload));

  OwnFileReader reader;
  ASSERT_TRUE(DuplicateOwnFile(reader));
  ResetOwnSections();  // the duplicate outlives the loaded file's own handle
  EXPECT_EQ(reader.Size(), certificateAt);
  EXPECT_EQ(reader.Find("CERT", 0), OwnFileReader::kNotFound);
  EXPECT_TRUE(reader.ReadRange(0, reader.Size(), payload));
  EXPECT_EQ(payload, stub + sections);
  EXPECT_FALSE(DuplicateOwnFile(reader));  // nothing loaded now
}

// The program image must not carry the marker that ends a stub, or every
// package built from it would be cut short.
TEST(SectionMarker, ProgramImageDoesNotContainBeginningMarker) {
#ifdef _WIN32
  const ByteString self = platform::ModuleFileName();
#else
  const ByteString self = "/proc/self/exe";
#endif
  ByteString image;
  ASSERT_TRUE(ReadWholeFile(self, image)) << self;
  std::size_t length = 0;
  EXPECT_EQ(FindSectionMarker(kSectionBeginningMark, image, length), 0u);
  // Reading the names themselves does not plant markers either.
  for (const char* name : {kSectionSetupLng, kSectionSetupCmd, kSectionSetupBin, kSectionUninst})
    EXPECT_EQ(FindSectionMarker(name, image, length), 0u) << name;
}
