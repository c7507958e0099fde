// Path variables, system folders and folder creation against the fakes.
#include "engine/EngineErrors.h"
#include "engine/FileWriting.h"
#include "engine/FolderAccess.h"
#include "engine/PathVariables.h"
#include "engine/SystemFolders.h"
#include "base/ByteStringList.h"
#include "platform/Shell.h"
#include "tests/unit/engine/EngineFixture.h"

namespace enginetest {
namespace {

using platform::Hive;

const char* const kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

ByteString Expanded(ByteString text) {
  ExpandPathVariables(text);
  return text;
}

class PathVariables : public EngineTest {};

TEST_F(PathVariables, EachVariable) {
  fakes::SetRegistryString(Hive::LocalMachine, kCurrentVersion, "ProgramFilesDir", "D:\\Progs");
  fakes::SetSpecialFolder(platform::kCsidlCommonDesktop, "C:\\Public\\Desktop");
  fakes::SetSpecialFolder(platform::kCsidlCommonPrograms, "C:\\Public\\Programs");
  PgmPath = "C:\\Quillon\\";
  DataPath = "C:\\QData\\";
  MyStartMenu = "C:\\Menu\\Quillon\\";
  OwnerWindow = 0x1234;
  EXPECT_EQ(Expanded("*Programs*\\Quillon\\"), "D:\\Progs\\Quillon\\");
  EXPECT_EQ(Expanded("*Desktop*\\Q.lnk"), "C:\\Public\\Desktop\\Q.lnk");
  EXPECT_EQ(fakes::LastSpecialFolderOwner(), 0x1234u);
  EXPECT_EQ(Expanded("*StartMenu*\\Q"), "C:\\Public\\Programs\\Q");
  EXPECT_EQ(Expanded("*PgmPath*\\Quillon.exe"), "C:\\Quillon\\Quillon.exe");
  EXPECT_EQ(Expanded("*DataPath*x"), "C:\\QData\\x");
  // "*MyStartMenu*" holds "StartMenu*" but never "*StartMenu*".
  EXPECT_EQ(Expanded("*MyStartMenu*\\Q.lnk"), "C:\\Menu\\Quillon\\Q.lnk");
  EXPECT_EQ(Expanded("*PgmPath* and *PgmPath*"), "C:\\Quillon\\ and *PgmPath*");
  EXPECT_EQ(Expanded("*pgmpath*"), "*pgmpath*");
  EXPECT_EQ(ErrorText, "");
}

TEST_F(PathVariables, MissingSettingsAreRemovedAndRecorded) {
  EXPECT_EQ(Expanded("*PgmPath*\\Quillon.exe"), "\\Quillon.exe");
  EXPECT_EQ(ErrorText, "no def for *PgmPath*; ");
  EXPECT_EQ(Expanded("*MyStartMenu*\\a;*DataPath*\\b"), "\\a;\\b");
  EXPECT_EQ(ErrorText, "no def for *PgmPath*; no def for *DataPath*; no def for *MyStartMenu*; ");
  // System folders without value are just empty, and no error.
  const ByteString before = ErrorText;
  EXPECT_EQ(Expanded("*Desktop*\\x*StartMenu*"), "\\x");
  EXPECT_EQ(ErrorText, before);
}

TEST_F(PathVariables, BackslashPairsFromTheThirdCharacterOn) {
  EXPECT_EQ(Expanded("\\\\server\\\\\\share\\\\x"), "\\\\server\\share\\x");
  EXPECT_EQ(Expanded("C:\\\\\\\\Q"), "C:\\Q");
  // A pair that begins at the second character is not reduced.
  EXPECT_EQ(Expanded("a\\\\\\b"), "a\\\\b");
  EXPECT_EQ(Expanded("\\\\\\\\"), "\\\\\\");
  EXPECT_EQ(Expanded("\\\\"), "\\\\");
  ByteString folder = "*PgmPath*";
  PgmPath = "C:\\Q\\";
  ExpandFolder(folder);
  EXPECT_EQ(folder, "C:\\Q\\");
  folder = "C:\\R";
  ExpandFolder(folder);
  EXPECT_EQ(folder, "C:\\R\\");
  folder = "";
  ExpandFolder(folder);
  EXPECT_EQ(folder, "");
}

TEST_F(PathVariables, ProgramFilesFolderFallbacks) {
  fakes::SetRegistryString(Hive::LocalMachine, kCurrentVersion, "ProgramFilesPath", "E:\\Apps\\");
  EXPECT_EQ(ProgramFilesFolder(), "E:\\Apps\\");
  fakes::ResetRegistry();
  EXPECT_EQ(ProgramFilesFolder(), "C:\\Program Files\\");
  ASSERT_TRUE(testsupport::MakeHostFolders(Host("C:\\Programme")));
  EXPECT_EQ(ProgramFilesFolder(), "C:\\Programme\\");
  fakes::SetRegistryDword(Hive::LocalMachine, kCurrentVersion, "ProgramFilesDir", 7);
  try {
    ProgramFilesFolder();
    ADD_FAILURE() << "no registry error";
  } catch (const ERegistryError& error) {
    EXPECT_STREQ(error.what(), "Ung\xFCltiger Datentyp f\xFCr 'ProgramFilesDir'");
  }
  EXPECT_EQ(fakes::OpenRegistryHandles(), 0);
}

TEST_F(PathVariables, ShellFoldersStandInForMissingSpecialFolders) {
  fakes::SetRegistryString(Hive::CurrentUser, kShellFolders, "Desktop",
                           "C:\\Documents and Settings\\Administrator\\Desktop");
  fakes::SetRegistryString(Hive::CurrentUser, kShellFolders, "Programs",
                           "C:\\Documents and Settings\\administrator\\Programs");
  EXPECT_EQ(CommonDesktopFolder(), "C:\\Documents and Settings\\All Users\\Desktop");
  EXPECT_EQ(CommonProgramsFolder(), "C:\\Documents and Settings\\administrator\\Programs");
  EXPECT_EQ(ShellFolderValue("Missing"), "");
  fakes::SetRegistryDword(Hive::CurrentUser, kShellFolders, "Desktop", 1);
  EXPECT_THROW(CommonDesktopFolder(), ERegistryError);
}

TEST_F(PathVariables, EnsureFolderRecordsOnceAndOpensOnlyTheDataFolderItMade) {
  DataPath = "C:\\Quillon\\Daten\\";
  EXPECT_TRUE(EnsureFolder("C:\\Quillon\\Sub\\"));
  EXPECT_TRUE(testsupport::FolderExistsOnHost(Host("C:\\Quillon\\Sub")));
  EXPECT_TRUE(EnsureFolder("c:\\quillon\\sub"));
  EXPECT_TRUE(EnsureFolder("C:\\Quillon\\Sub\\\\"));
  ASSERT_EQ(CreatedFolders->Count(), 1);
  EXPECT_EQ(CreatedFolders->ItemText(0), "C:\\Quillon\\Sub");
  // The program folder keeps the access it inherits.
  EXPECT_TRUE(fakes::AclCalls().empty());
  // Below the data folder only the topmost folder made is granted, to the
  // users group by its SID; the folders below inherit.
  EXPECT_TRUE(EnsureFolder("C:\\Quillon\\Daten\\Deep"));
  EXPECT_TRUE(EnsureFolder("C:\\Quillon\\Daten\\Deep\\Er"));
  // Beside it, under a name that begins with the data folder's: not opened.
  EXPECT_TRUE(EnsureFolder("C:\\Quillon\\DATENBANK"));
  ASSERT_EQ(fakes::AclCalls().size(), 2u);  // once per EnsureFolder that made folders
  EXPECT_EQ(fakes::AclCalls()[0].folder, "C:\\Quillon\\Daten");
  EXPECT_EQ(fakes::AclCalls()[1].folder, "C:\\Quillon\\Daten");
  EXPECT_EQ(fakes::GrantedTrustee("C:\\Quillon\\Daten"), "S-1-5-32-545");
  // A data folder that existed before is never opened.
  ASSERT_TRUE(testsupport::MakeHostFolders(Host("C:\\Public\\Desktop")));
  DataPath = "C:\\Public\\";
  EXPECT_TRUE(EnsureFolder("C:\\Public\\Desktop"));
  EXPECT_EQ(fakes::AclCalls().size(), 2u);
  EXPECT_EQ(CreatedFolders->Count(), 5);  // an existing folder is recorded as before
  // A list emptied since (as for the next run) records the folder again.
  CreatedFolders->Clear();
  EXPECT_TRUE(EnsureFolder("c:\\quillon\\SUB"));
  EXPECT_EQ(CreatedFolders->Count(), 1);
}

TEST_F(PathVariables, EnsureFolderFailures) {
  EXPECT_FALSE(EnsureFolder(""));
  EXPECT_FALSE(EnsureFolder("\\\\\\"));
  ASSERT_TRUE(testsupport::WriteHostFile(Host("C:\\Blocked"), "a file"));
  EXPECT_FALSE(EnsureFolder("C:\\Blocked\\Sub"));
  EXPECT_FALSE(FolderExists("C:\\Blocked"));
  EXPECT_EQ(CreatedFolders->Count(), 0);
  EXPECT_TRUE(fakes::AclCalls().empty());
}

TEST_F(PathVariables, OnlyTheUsersGroupBySidIsGranted) {
  // Whatever names the system knows: the SID, once, and never everyone.
  fakes::SetKnownTrustees({"Benutzer", "Users", "Jeder", "Everyone"});
  EXPECT_FALSE(GrantFolderAccess("C:\\A"));
  ASSERT_EQ(fakes::AclCalls().size(), 1u);
  EXPECT_EQ(fakes::AclCalls()[0].trustee, "S-1-5-32-545");
  fakes::SetKnownTrustees({"S-1-5-32-545"});
  EXPECT_TRUE(GrantFolderAccess("C:\\B"));
  EXPECT_EQ(LastTrustee, "S-1-5-32-545");
  EXPECT_EQ(fakes::AclLookUps(), 1);
}

TEST_F(PathVariables, SystemsWithoutAccessLists) {
  fakes::SetNtFamily(false);
  EXPECT_TRUE(GrantFolderAccess("C:\\A"));
  EXPECT_FALSE(SetFolderAccess("C:\\A", "Users"));
  EXPECT_TRUE(fakes::AclCalls().empty());
  EXPECT_EQ(fakes::AclLookUps(), 0);

  // Missing entry points: every attempt fails and the lookup is tried again.
  fakes::ResetSecurity();
  fakes::SetAclEntryPointsPresent(false);
  EXPECT_FALSE(GrantFolderAccess("C:\\A"));
  EXPECT_EQ(fakes::AclLookUps(), 1);
  fakes::SetAclEntryPointsPresent(true);
  EXPECT_TRUE(SetFolderAccess("C:\\A", "Users"));
}

}  // namespace
}  // namespace enginetest
