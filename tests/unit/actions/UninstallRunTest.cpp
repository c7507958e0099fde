#include "ActionsFixture.h"
#include "engine/CommandLine.h"
#include "engine/UninstallRun.h"
#include "package/ZLibHelpers.h"

namespace {

using platform::Hive;

const ByteString kRoot = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

TEST(SplitParameters, FollowsTheProgramsQuotingRules) {
  EXPECT_EQ(SplitParameters("\"C:\\Set up\\Setup.exe\" /UNINST \"UninstallKey=Quillon 2024-01-02 03.04.05\""),
            (std::vector<ByteString>{"C:\\Set up\\Setup.exe", "/UNINST", "UninstallKey=Quillon 2024-01-02 03.04.05"}));
  // Codes 1..32 separate; quotes are dropped wherever they stand; a pair of
  // quotes where a parameter begins is skipped.
  EXPECT_EQ(SplitParameters("p\x01" "a\"b c\"d\t\"\" x \"\"\"y z\" \xE4\xF6"),
            (std::vector<ByteString>{"p", "ab cd", "x", "y z", "\xE4\xF6"}));
  EXPECT_EQ(SplitParameters("p a\"\"b \"unclosed rest"), (std::vector<ByteString>{"p", "ab", "unclosed rest"}));
  EXPECT_EQ(SplitParameters(ByteString("p one\0two", 9)), (std::vector<ByteString>{"p", "one"}));
  EXPECT_EQ(SplitParameters("   "), std::vector<ByteString>{});
  EXPECT_EQ(SplitParameters("p \"\""), std::vector<ByteString>{"p"});
}

class UninstallRunTest : public ActionsTest {
protected:
  // The running uninstaller: a stub and the given information.
  void Uninstaller(const ByteString& info) {
    fakes::SetModuleFileName("C:\\Prog\\uninstall.exe");
    Write("C:\\Prog\\uninstall.exe", "MZ" + BuildSection(kSectionBeginningMark, "") +
                                         BuildSection(kSectionUninst, CompressBytes(info, 2)));
  }
  void Entry(const ByteString& key) {
    fakes::SetRegistryString(Hive::LocalMachine, kRoot + "\\" + key, "DisplayName", key);
  }
  bool KeyExists(const ByteString& key) { return fakes::RegistryKeyExists(Hive::LocalMachine, kRoot + "\\" + key); }
  void Start(const ByteString& module, const ByteString& commandLine) {
    fakes::SetModuleFileName(module);
    fakes::SetCommandLine(commandLine);
    ParseCommandLine();
  }
};

TEST_F(UninstallRunTest, CommandLineSelectsTheMode) {
  Start("C:\\Prog\\UnInstall.EXE", "uninstall.exe");
  EXPECT_TRUE(UninstallMode);
  EXPECT_EQ(ParamList->Count(), 0);

  Start("C:\\Setup\\Setup.exe", "\"C:\\Set up\\x.exe\" /UnInst \"UninstallKey=Q 1\" x");
  EXPECT_TRUE(UninstallMode);
  EXPECT_EQ(Entries(*ParamList), (std::vector<ByteString>{"/UnInst", "UninstallKey=Q 1", "x"}));

  Start("C:\\Setup\\Setup.exe", "Setup.exe /uninstall uninstall.exe");
  EXPECT_FALSE(UninstallMode);
  EXPECT_EQ(Entries(*ParamList), (std::vector<ByteString>{"/uninstall", "uninstall.exe"}));
}

TEST_F(UninstallRunTest, RemovesEntriesFilesAndEmptiedFolders) {
  Entry("Quillon 2020-01-01 00.00.00");
  Entry("Quillon 2024-01-02 03.04.05");
  fakes::CreateRegistryKey(Hive::LocalMachine, kRoot + "\\Quillon 2020-01-01 00.00.00\\a\\b");
  Entry("Other 2020-01-01 00.00.00");
  Write("C:\\Prog\\sub\\a.txt", "a");
  Write("C:\\Prog\\sub\\deeper\\noext", "n");
  Write("C:\\Prog\\Quillon.exe", "exe");
  Write("C:\\Data\\Notes.QDB", "user data");
  Write("C:\\Data\\old.qlg", "user data");
  Write("C:\\Data\\x.qda", "user data");
  Write("C:\\Data\\cache.tmp", "t");
  Write("C:\\Menu\\Quillon\\Quillon.lnk", "lnk");
  Write("C:\\Keep\\Box\\own file", "not ours");
  Uninstaller(
      "UninstallKey=Quillon 2020-01-01 00.00.00\r\nLng=EN\r\n"
      "file=C:\\Prog\\uninstall.exe\r\nfile=C:\\Prog\\Quillon.exe\r\nfile=C:\\Prog\\sub\\a.txt\r\n"
      "file=C:\\Prog\\sub\\deeper\\noext\r\nfile=C:\\Data\\Notes.QDB\r\nfile=C:\\Data\\old.qlg\r\n"
      "file=C:\\Data\\x.qda\r\nfile=C:\\Data\\cache.tmp\r\nfile=C:\\Menu\\Quillon\\\\Quillon.lnk\r\n"
      "file=C:\\Keep\\Box\\gone.txt\r\n"
      "dir=C:\\Prog\\sub\\deeper\r\ndir=C:\\Prog\\sub\r\ndir=C:\\Prog\r\ndir=C:\\Menu\\Quillon\r\ndir=C:\\Keep\\Box\r\n"
      "dir=C:\\Data\r\n");
  Start("C:\\Prog\\uninstall.exe", "C:\\Prog\\uninstall.exe /uninst \"UninstallKey=Quillon 2024-01-02 03.04.05\"");

  UninstallLeftovers leftovers;
  EXPECT_TRUE(RunUninstall(&leftovers));
  // The running uninstaller's own file and the folder holding it are left
  // for after it ended; never the drive itself.
  EXPECT_EQ(leftovers.file, "C:\\Prog\\uninstall.exe");
  EXPECT_EQ(leftovers.folders, (std::vector<ByteString>{"C:\\Prog"}));

  EXPECT_FALSE(KeyExists("Quillon 2024-01-02 03.04.05"));  // from the command line
  EXPECT_FALSE(KeyExists("Quillon 2020-01-01 00.00.00"));  // from the information
  EXPECT_TRUE(KeyExists("Other 2020-01-01 00.00.00"));
  EXPECT_FALSE(Exists("C:\\Prog\\Quillon.exe"));
  EXPECT_FALSE(FolderExists("C:\\Prog\\sub"));  // child first, then its parent
  EXPECT_FALSE(FolderExists("C:\\Menu"));       // doubled backslash path deleted; parents go too
  EXPECT_TRUE(Exists("C:\\Data\\Notes.QDB"));
  EXPECT_TRUE(Exists("C:\\Data\\old.qlg"));
  EXPECT_TRUE(Exists("C:\\Data\\x.qda"));
  EXPECT_FALSE(Exists("C:\\Data\\cache.tmp"));
  EXPECT_TRUE(Exists("C:\\Keep\\Box\\own file"));  // a folder with foreign files stays
  EXPECT_TRUE(FolderExists("C:\\"));
  EXPECT_EQ(ErrorText, "");
  EXPECT_EQ(fakes::OpenRegistryHandles(), 0);
}

TEST_F(UninstallRunTest, WithoutInformationNothingGoes) {
  Entry("Quillon 1");
  Entry("Quillon 2");
  Write("C:\\Setup\\Setup.exe", "MZ" + BuildSection(kSectionBeginningMark, ""));
  Write("C:\\Setup\\other.txt", "x");
  Start("C:\\Setup\\Setup.exe", "Setup.exe /UNINST \"uninstallkey=Quillon 1\"");
  Quiet = true;
  EXPECT_FALSE(RunUninstall());
  EXPECT_TRUE(KeyExists("Quillon 1"));  // the entry stays with its uninstaller
  EXPECT_TRUE(KeyExists("Quillon 2"));
  EXPECT_TRUE(Exists("C:\\Setup\\other.txt"));
  EXPECT_EQ(ErrorText, "uninstall information not found; ");
  EXPECT_TRUE(fakes::ErrorBoxes().empty());

  // Shown when not quiet.
  Quiet = false;
  EXPECT_EQ(ReadUninstallInfo()->Count(), 0);
  ASSERT_EQ(fakes::ErrorBoxes().size(), 1u);
  EXPECT_EQ(fakes::ErrorBoxes()[0].text, "uninstall information not found");
}

TEST_F(UninstallRunTest, CorruptInformationRaises) {
  fakes::SetModuleFileName("C:\\Prog\\uninstall.exe");
  Write("C:\\Prog\\uninstall.exe", "MZ" + BuildSection(kSectionBeginningMark, "") +
                                       BuildSection(kSectionUninst, "not a zlib stream"));
  EXPECT_THROW(ReadUninstallInfo(), EZDecompressionError);
}

TEST_F(UninstallRunTest, ShortOrMalformedKeysDeleteNothing) {
  Entry("ab");
  Entry("Quillon 1");
  fakes::CreateRegistryKey(Hive::LocalMachine, kRoot + "\\ab\\c");
  for (const ByteString key : {"", "ab", " ab \t", "\\\\\\", "\\ab", "ab\\", "a\\\\b"}) RemoveUninstallEntry(key);
  EXPECT_TRUE(KeyExists("ab"));
  EXPECT_TRUE(KeyExists("ab\\c"));
  EXPECT_TRUE(KeyExists("Quillon 1"));

  // The key is used as passed, blanks included; subkeys go first.
  Entry("abc");
  Entry(" abc ");
  RemoveUninstallEntry(" abc ");
  EXPECT_FALSE(KeyExists(" abc "));
  EXPECT_TRUE(KeyExists("abc"));
  RemoveUninstallEntry("ab\\c");
  EXPECT_FALSE(KeyExists("ab\\c"));
  EXPECT_TRUE(KeyExists("ab"));
  EXPECT_TRUE(fakes::RegistryKeyExists(Hive::LocalMachine, kRoot));
}

}  // namespace

namespace {

class UninstallPathsTest : public UninstallRunTest {};

// Information that names paths outside the installation (planted, or merged
// from a foreign uninstaller) removes only what lies below the
// installation's folders, and the shortcuts it recorded; held files are left
// for the restart, and the entry goes only once nothing else stays.
TEST_F(UninstallPathsTest, OnlyTheInstallationsOwnPathsGo) {
  Entry("Quillon 1");
  for (const char* file : {"C:\\Prog\\a.txt", "C:\\Prog\\held.exe", "C:\\Windows\\system.dll", "C:\\Other\\x.txt",
                           "C:\\Desk\\Quillon.lnk", "C:\\Menu\\Q\\Q.lnk"})
    Write(file, "x");
  Uninstaller("UninstallKey=Quillon 1\r\nPgmPath=C:\\Prog\\\r\nMyStartMenu=C:\\Menu\\Q\\\r\n"
              "file=C:\\Prog\\a.txt\r\nfile=C:\\Prog\\held.exe\r\nfile=C:\\Prog\\..\\Windows\\system.dll\r\n"
              "file=C:\\Windows\\system.dll\r\nfile=Other\\x.txt\r\nfile=C:\\Desk\\Quillon.lnk\r\n"
              "file=C:\\Menu\\Q\\Q.lnk\r\nfile=C:\\Prog\\uninstall.exe\r\n"
              "dir=C:\\Windows\r\ndir=C:\\Prog\r\ndir=C:\\Menu\\Q\r\ndir=C:\\Desk\r\n");
  platform::SetNativeHeldFile("C:\\Prog\\held.exe", true);
  // The held file cannot be deleted: natively a read-only file stands in.
  platform::ChangeFileAttributes("C:\\Prog\\held.exe", platform::kAttrReadOnly);
  platform::NativeRestartRemovals().clear();
  EXPECT_EQ(HeldInstalledFiles(), std::vector<ByteString>{"C:\\Prog\\held.exe"});

  UninstallLeftovers leftovers;
  EXPECT_TRUE(RunUninstall(&leftovers));
  EXPECT_FALSE(Exists("C:\\Prog\\a.txt"));
  EXPECT_FALSE(Exists("C:\\Desk\\Quillon.lnk"));
  EXPECT_FALSE(Exists("C:\\Menu\\Q"));
  for (const char* kept : {"C:\\Windows\\system.dll", "C:\\Other\\x.txt"}) EXPECT_TRUE(Exists(kept)) << kept;
  EXPECT_TRUE(FolderExists("C:\\Windows"));
  EXPECT_EQ(leftovers.atRestart, std::vector<ByteString>{"C:\\Prog\\held.exe"});
  EXPECT_EQ(platform::NativeRestartRemovals(), (std::vector<ByteString>{"C:\\Prog\\held.exe", "C:\\Prog"}));
  EXPECT_EQ(leftovers.file, "C:\\Prog\\uninstall.exe");
  EXPECT_FALSE(KeyExists("Quillon 1"));
  for (const char* skipped : {"C:\\Prog\\..\\Windows\\system.dll; ", "C:\\Windows\\system.dll; ", "Other\\x.txt; ",
                              "C:\\Windows; "})
    EXPECT_NE(ErrorText.find(ByteString("skipped, outside the installation: ") + skipped), ByteString::npos) << skipped;
  platform::SetNativeHeldFile("C:\\Prog\\held.exe", false);
}

// The data folder is open to the users: one who made it a link to another
// folder gets nothing removed there, and the run says so.
TEST_F(UninstallRunTest, NoLinkIsFollowedToRemoveAFile) {
  Entry("Quillon 1");
  Write("C:\\Prog\\a.txt", "x");
  Write("C:\\Victim\\cache.bin", "keep");
  Write("C:\\Victim\\Sub\\b.txt", "keep");
  std::filesystem::create_directories(Host("C:\\Prog"));
  std::filesystem::create_directory_symlink(Host("C:\\Victim"), Host("C:\\Prog\\Daten"));
  Uninstaller("UninstallKey=Quillon 1\r\nPgmPath=C:\\Prog\\\r\nDataPath=C:\\Prog\\Daten\\\r\n"
              "file=C:\\Prog\\a.txt\r\nfile=C:\\Prog\\Daten\\cache.bin\r\nfile=C:\\Prog\\Daten\\Sub\\b.txt\r\n"
              "dir=C:\\Prog\\Daten\\Sub\r\ndir=C:\\Prog\r\n");
  EXPECT_TRUE(RunUninstall(nullptr));
  EXPECT_FALSE(Exists("C:\\Prog\\a.txt"));
  EXPECT_EQ(Read("C:\\Victim\\cache.bin"), "keep");
  EXPECT_EQ(Read("C:\\Victim\\Sub\\b.txt"), "keep");
  ASSERT_EQ(Refusals.size(), 4u);  // each file and folder through the link, once
  EXPECT_EQ(Refusals[1], "not followed: a link on the way to C:\\Prog\\Daten\\cache.bin");
  EXPECT_EQ(ErrorText, "");
  EXPECT_TRUE(platform::NativeRestartRemovals().empty());
}

}  // namespace
