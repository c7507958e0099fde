#include "ActionsFixture.h"
#include "engine/FileExtraction.h"
#include "engine/InstalledFiles.h"
#include "engine/PackedData.h"
#include "engine/ScriptCommands.h"
#include "package/ZLibHelpers.h"

namespace {

class FileExtractionTest : public ActionsTest {
protected:
  void SetUp() override {
    ActionsTest::SetUp();
    PgmPath = "C:\\Prog\\";
  }
  bool Save(const ByteString& line, PackedData& data, bool spare = false) {
    return SaveFile(SplitCommandItems(line), data, spare);
  }
};

ByteString Stream(const ByteString& contents) { return CompressBytes(contents, 3); }
ByteString Count(std::size_t n) { return std::to_string(n); }

TEST_F(FileExtractionTest, ConsecutiveCommandsTakeConsecutivePieces) {
  const ByteString first = "first file\r\n", second(3000, 'x'), raw = "raw \x01\x02 bytes";
  const ByteString s1 = Stream(first), s2 = Stream(second);
  PackedData data(s1 + s2 + raw + "tail");

  EXPECT_TRUE(Save("action=save,OrigLen=" + Count(first.size()) + ",ComprLen=" + Count(s1.size()) +
                       ",Filename=*PgmPath*\\one.txt",
                   data));
  EXPECT_TRUE(Save("action=save,OrigLen=1,ComprLen=" + Count(s2.size()) + ",Filename=*PgmPath*\\sub\\two.bin",
                   data));
  // No "ComprLen": stored raw, "OrigLen" bytes.
  EXPECT_TRUE(Save("action=save,OrigLen=" + Count(raw.size()) + ",Filename=C:\\Prog\\raw.dat", data));

  EXPECT_EQ(Read("C:\\Prog\\one.txt"), first);
  EXPECT_EQ(Read("C:\\Prog\\sub\\two.bin"), second);  // size not checked against OrigLen
  EXPECT_EQ(Read("C:\\Prog\\raw.dat"), raw);
  EXPECT_EQ(data.Rest(), "tail");
  EXPECT_EQ(Entries(*WrittenFiles),
            (std::vector<ByteString>{"C:\\Prog\\one.txt", "C:\\Prog\\sub\\two.bin", "C:\\Prog\\raw.dat"}));
  EXPECT_EQ(Entries(*CreatedFolders), (std::vector<ByteString>{"C:\\Prog", "C:\\Prog\\sub"}));
  EXPECT_EQ(ErrorText, "");
}

TEST_F(FileExtractionTest, SparedFileStillConsumesItsData) {
  Write("C:\\Prog\\settings.ini", "user's own");
  const ByteString next = "next";
  PackedData data("new settings" + next);

  EXPECT_TRUE(Save("action=saveifnotexists,OrigLen=12,Filename=*PgmPath*\\settings.ini", data, true));
  EXPECT_TRUE(Save("action=save,OrigLen=4,Filename=*PgmPath*\\next.txt", data));

  EXPECT_EQ(Read("C:\\Prog\\settings.ini"), "user's own");
  EXPECT_EQ(Read("C:\\Prog\\next.txt"), next);
  EXPECT_EQ(Entries(*WrittenFiles), (std::vector<ByteString>{"C:\\Prog\\next.txt"}));

  // A missing file is written as by "save"; a folder of that name is no file.
  PackedData more("abcdef");
  EXPECT_TRUE(Save("action=saveifnotexists,OrigLen=3,Filename=C:\\Prog\\fresh.txt", more, true));
  EXPECT_EQ(Read("C:\\Prog\\fresh.txt"), "abc");
  std::filesystem::create_directories(Host("C:\\Prog\\folder"));
  EXPECT_FALSE(Save("action=saveifnotexists,OrigLen=3,Filename=C:\\Prog\\folder", more, true));
  EXPECT_EQ(ErrorText, "Write Error: C:\\Prog\\folder; ");
}

TEST_F(FileExtractionTest, BadCommandsFailWithTheirTexts) {
  PackedData data("0123456789");
  EXPECT_FALSE(Save("action=save,OrigLen=3", data));
  EXPECT_FALSE(Save("action=save,OrigLen=abc,Filename=*PgmPath*\\a.txt", data));
  EXPECT_FALSE(Save("action=save,OrigLen=0,Filename=b.txt", data));
  EXPECT_FALSE(Save("action=save,OrigLen=5,ComprLen=-2,Filename=c.txt", data));
  EXPECT_FALSE(Save("action=save,OrigLen=5,ComprLen=x,Filename=d.txt", data));
  EXPECT_EQ(ErrorText,
            "no file name; OrigLen is 0 in C:\\Prog\\a.txt; OrigLen is 0 in b.txt; "
            "ComprLen is 0 in c.txt; ComprLen is 0 in d.txt; ");
  EXPECT_EQ(data.Remaining(), 10u);  // nothing consumed by these
  EXPECT_EQ(WrittenFiles->Count(), 0);
}

TEST_F(FileExtractionTest, ExhaustedDataIsADataError) {
  PackedData data("0123456789");
  EXPECT_TRUE(Save("action=save,OrigLen=8,Filename=C:\\Prog\\a.bin", data));
  EXPECT_FALSE(Save("action=save,OrigLen=3,Filename=C:\\Prog\\b.bin", data));
  EXPECT_FALSE(Save("action=save,OrigLen=3,ComprLen=9,Filename=C:\\Prog\\c.bin", data));
  EXPECT_EQ(ErrorText, "data error in C:\\Prog\\b.bin; data error in C:\\Prog\\c.bin; ");
  EXPECT_FALSE(Exists("C:\\Prog\\b.bin"));
  EXPECT_EQ(Entries(*WrittenFiles), (std::vector<ByteString>{"C:\\Prog\\a.bin"}));
}

TEST_F(FileExtractionTest, StreamsThatYieldNothingOrAreCorrupt) {
  const ByteString empty = Stream("");
  PackedData data(empty + "garbage!");
  EXPECT_FALSE(Save("action=save,OrigLen=1,ComprLen=" + Count(empty.size()) + ",Filename=C:\\Prog\\e.txt", data));
  EXPECT_EQ(ErrorText, "decompress error in C:\\Prog\\e.txt; ");
  // A corrupt stream raises and so ends the whole run.
  EXPECT_THROW(Save("action=save,OrigLen=1,ComprLen=8,Filename=C:\\Prog\\f.txt", data), EZDecompressionError);
  EXPECT_FALSE(Exists("C:\\Prog\\f.txt"));
}

TEST_F(FileExtractionTest, FirstExeInAnyCaseBecomesExec) {
  PackedData data(ByteString(100, 'z'));
  EXPECT_FALSE(Save("action=save,OrigLen=oops,Filename=C:\\Prog\\broken.exe", data));
  EXPECT_EQ(Exec, "");  // failed before writing: no candidate
  EXPECT_TRUE(Save("action=save,OrigLen=1,Filename=C:\\Prog\\tools.exe\\readme", data));
  EXPECT_EQ(Exec, "");  // the dot belongs to a folder name
  EXPECT_TRUE(Save("action=save,OrigLen=1,Filename=C:\\Prog\\Quillon.ExE", data));
  EXPECT_TRUE(Save("action=save,OrigLen=1,Filename=C:\\Prog\\second.exe", data));
  EXPECT_EQ(Exec, "C:\\Prog\\Quillon.ExE");

  // A spared file, or one that could not be written, still counts.
  Exec.clear();
  std::filesystem::create_directories(Host("C:\\Prog\\dir.exe"));
  EXPECT_FALSE(Save("action=save,OrigLen=1,Filename=C:\\Prog\\dir.exe", data));
  EXPECT_EQ(Exec, "C:\\Prog\\dir.exe");
  Exec.clear();
  EXPECT_TRUE(Save("action=saveifnotexists,OrigLen=1,Filename=C:\\Prog\\Quillon.ExE", data, true));
  EXPECT_EQ(Exec, "C:\\Prog\\Quillon.ExE");
}

TEST_F(FileExtractionTest, WriteWholeFileReplacesAndReportsFailures) {
  Write("C:\\Prog\\a.txt", "a much longer old content");
  EXPECT_TRUE(WriteWholeFile("C:\\Prog\\a.txt", "new"));
  EXPECT_EQ(Read("C:\\Prog\\a.txt"), "new");
  EXPECT_TRUE(WriteWholeFile("C:\\Deep\\er\\empty.txt", ""));
  EXPECT_TRUE(Exists("C:\\Deep\\er\\empty.txt"));
  EXPECT_EQ(Read("C:\\Deep\\er\\empty.txt"), "");

  // A file stands where the folder should be.
  EXPECT_FALSE(WriteWholeFile("C:\\Prog\\a.txt\\inner.txt", "x"));
  EXPECT_EQ(ErrorText, "Write Error: C:\\Prog\\a.txt\\inner.txt; ");
  EXPECT_EQ(Entries(*WrittenFiles), (std::vector<ByteString>{"C:\\Prog\\a.txt", "C:\\Deep\\er\\empty.txt"}));
  EXPECT_EQ(Entries(*CreatedFolders), (std::vector<ByteString>{"C:\\Deep\\er", "C:\\Prog"}));
}

// Each command takes exactly its own piece from the front; the rest is never
// copied or shifted, so 10,000 files cost one pass over the data.
TEST_F(FileExtractionTest, ManySmallFilesConsumeTheDataOnce) {
  constexpr int kFiles = 10000;
  ByteString packed;
  for (int i = 0; i < kFiles; ++i) packed += "f" + std::to_string(i) + ";";
  PackedData data(packed);
  const char* const base = data.Rest().data();
  std::size_t consumed = 0;
  for (int i = 0; i < kFiles; ++i) {
    const ByteString contents = "f" + std::to_string(i) + ";";
    ASSERT_TRUE(Save("action=save,OrigLen=" + Count(contents.size()) + ",Filename=C:\\Many\\" +
                         std::to_string(i % 7) + "\\" + std::to_string(i) + ".txt",
                     data));
    consumed += contents.size();
    ASSERT_EQ(data.Remaining(), packed.size() - consumed);
    ASSERT_EQ(data.Rest().data(), base + consumed);  // the buffer itself never moves
  }
  EXPECT_EQ(data.Remaining(), 0u);
  EXPECT_EQ(WrittenFiles->Count(), kFiles);
  EXPECT_EQ(Read("C:\\Many\\3\\9999.txt"), "f9999;");
  EXPECT_EQ(CreatedFolders->Count(), 7);
}

}  // namespace
