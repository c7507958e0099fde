#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "TempFolder.h"
#include "package/WholeFiles.h"

#ifndef _WIN32
#include <unistd.h>
#endif

TEST(ReadWholeFile, ReadsEveryByte) {
  TempFolder temp;
  ByteString bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7);
  const ByteString path = temp.Write("data.bin", bytes);
  ByteString contents = "old";
  ASSERT_TRUE(ReadWholeFile(path, contents));
  EXPECT_EQ(contents, bytes);
}

TEST(ReadWholeFile, FailsEmptyOnMissingEmptyOrFolder) {
  TempFolder temp;
  ByteString contents = "old";
  EXPECT_FALSE(ReadWholeFile(temp.Path("missing.bin"), contents));
  EXPECT_TRUE(contents.empty());

  contents = "old";
  EXPECT_FALSE(ReadWholeFile(temp.Write("empty.bin", ""), contents));
  EXPECT_TRUE(contents.empty());

  contents = "old";
  EXPECT_FALSE(ReadWholeFile(temp.Path(""), contents));
  EXPECT_TRUE(contents.empty());

  contents = "old";
  EXPECT_FALSE(ReadWholeFile("", contents));
  EXPECT_TRUE(contents.empty());
}

#ifndef _WIN32
// The Windows side (a file held open without sharing) runs in the Win32 tests.
TEST(ReadWholeFile, FailsEmptyWhenTheFileCannotBeOpened) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
  TempFolder temp;
  const ByteString path = temp.Write("locked.bin", "secret");
  std::filesystem::permissions(path, std::filesystem::perms::none);
  ByteString contents = "old";
  EXPECT_FALSE(ReadWholeFile(path, contents));
  EXPECT_TRUE(contents.empty());
}
#endif

// The directory lookup and the seam's attribute query answer alike.
TEST(FileSizeOf, SizesOfFilesFoldersAndNothing) {
  TempFolder temp;
  std::filesystem::create_directory(temp.Path("folder"));
  const std::pair<ByteString, int64_t> cases[] = {{temp.Write("five.txt", "12345"), 5},
                                                  {temp.Write("zero.txt", ""), 0},
                                                  {temp.Path("nothing.txt"), -1},
                                                  {"", -1},
                                                  {temp.Path("folder"), 0}};
  for (const auto& [path, size] : cases) {
    EXPECT_EQ(FileSizeOf(path), size) << path;
    EXPECT_EQ(platform::SizeOfFile(path), size) << path;
  }
}

TEST(FindFileProbe, WildcardsReportTheFirstMatch) {
  TempFolder temp;
  temp.Write("b.log", "bb");
  temp.Write("a.log", "a");
  temp.Write("c.txt", "ccc");
  platform::FindData data;
  data.name = "stale";
  ASSERT_TRUE(FindFileProbe(temp.Path("*.log"), data));
  EXPECT_EQ(data.name, "a.log");
  EXPECT_EQ(data.sizeLow, 1u);
  ASSERT_TRUE(FindFileProbe(temp.Path("?.txt"), data));
  EXPECT_EQ(data.name, "c.txt");
  EXPECT_FALSE(FindFileProbe(temp.Path("*.none"), data));
  EXPECT_TRUE(data.name.empty());

  std::filesystem::create_directory(temp.Path("sub"));
  ASSERT_TRUE(FindFileProbe(temp.Path("sub"), data));
  EXPECT_TRUE(data.attributes & platform::kAttrDirectory);
}

TEST(StripTrailingSeparator, RemovesOneSeparatorOnly) {
  EXPECT_EQ(StripTrailingSeparator("C:\\Programs\\\\"), "C:\\Programs\\");
  EXPECT_EQ(StripTrailingSeparator("C:\\Programs\\"), "C:\\Programs");
  EXPECT_EQ(StripTrailingSeparator("/usr/share/"), "/usr/share");
  EXPECT_EQ(StripTrailingSeparator("C:\\Programs"), "C:\\Programs");
  EXPECT_EQ(StripTrailingSeparator("\\"), "");
  EXPECT_EQ(StripTrailingSeparator(""), "");
}

#ifndef _WIN32
TEST(NativeFiles, DriveLetterPathsMapBelowTheRoot) {
  EXPECT_EQ(platform::NativePath("C:\\a\\b.txt"), "/C/a/b.txt");
  EXPECT_EQ(platform::NativePath("relative\\x"), "relative/x");
  TempFolder temp;
  platform::SetNativeDriveRoot(temp.Path("drives"));
  EXPECT_EQ(platform::NativePath("D:\\x"), temp.Path("drives") + "/D/x");

  std::filesystem::create_directories(temp.Path("drives/C"));
  EXPECT_TRUE(platform::MakeDirectory("C:\\Prog"));
  EXPECT_FALSE(platform::MakeDirectory("C:\\Prog"));
  EXPECT_FALSE(platform::MakeDirectory("C:\\No\\Parent"));
  const ByteString text = "hello";
  EXPECT_TRUE(platform::WriteNewFile("C:\\Prog\\a.txt", text.data(), text.size()));
  EXPECT_EQ(FileSizeOf("C:\\Prog\\a.txt"), 5);
  EXPECT_EQ(platform::FileAttributesOf("C:\\Prog"), platform::kAttrDirectory);
  EXPECT_EQ(platform::FileAttributesOf("C:\\Prog\\a.txt"), platform::kAttrNormal);
  EXPECT_EQ(platform::FileAttributesOf("C:\\Prog\\none"), platform::kInvalidFileAttributes);
  EXPECT_FALSE(platform::RemoveEmptyDirectory("C:\\Prog"));

  // Read-only files are neither replaced nor deleted, as on Windows.
  ASSERT_TRUE(platform::ChangeFileAttributes("C:\\Prog\\a.txt", platform::kAttrReadOnly));
  EXPECT_EQ(platform::FileAttributesOf("C:\\Prog\\a.txt"), platform::kAttrReadOnly);
  EXPECT_FALSE(platform::WriteNewFile("C:\\Prog\\a.txt", "x", 1));
  EXPECT_FALSE(platform::RemoveFile("C:\\Prog\\a.txt"));
  ASSERT_TRUE(platform::ChangeFileAttributes("C:\\Prog\\a.txt", platform::kAttrNormal));
  EXPECT_TRUE(platform::RemoveFile("C:\\Prog\\a.txt"));
  EXPECT_FALSE(platform::RemoveFile("C:\\Prog"));
  EXPECT_TRUE(platform::RemoveEmptyDirectory("C:\\Prog"));
  platform::SetNativeDriveRoot("");
}
#endif
