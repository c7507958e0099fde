// Deployment: an installation for the current user beside one for all
// users, each in its own folders and hive; the switches of unattended runs;
// the decision to ask for administrator rights and the hand-over to the
// elevated copy (through the process seam's fake: no system shows a UAC
// prompt to a test).
#include <filesystem>

#include "base/ByteStringList.h"
#include "engine/CommandLine.h"
#include "engine/Elevation.h"
#include "engine/ErrorList.h"
#include "engine/EngineValues.h"
#include "engine/ProductSettings.h"
#include "engine/ScriptInterpreter.h"
#include "engine/UninstallRun.h"
#include "platform/Shell.h"
#include "tests/unit/engine/EngineFixture.h"

namespace enginetest {
namespace {

using platform::Hive;

const ByteString kUninstallRoot = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const ByteString kEntry = kUninstallRoot + "\\Quillon 2024-01-02 03.04.05";
const ByteString kUserPrograms = "C:\\Users\\u\\AppData\\Local\\Programs";

class Deployment : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    fakes::SetRegistryString(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                             "C:\\Program Files");
    fakes::SetSpecialFolder(platform::kCsidlCommonPrograms, "C:\\ProgramData\\Start Menu\\Programs");
    fakes::SetSpecialFolder(platform::kCsidlProgramFiles, "C:\\Program Files");
    fakes::SetSpecialFolder(platform::kCsidlCommonDesktop, "C:\\Users\\Public\\Desktop");
    fakes::SetSpecialFolder(platform::kCsidlPrograms, "C:\\Users\\u\\Start Menu\\Programs");
    fakes::SetSpecialFolder(platform::kCsidlDesktopDirectory, "C:\\Users\\u\\Desktop");
    fakes::SetSpecialFolder(platform::kCsidlLocalAppData, "C:\\Users\\u\\AppData\\Local");
    fakes::SetKnownUserProgramFiles(kUserPrograms);
    fakes::CreateRegistryKey(Hive::LocalMachine, kUninstallRoot);  // every system has it
    testsupport::MakeHostFolders(Host("C:\\Users\\u\\AppData\\Local"));
    UseScript("");
  }

  // The product's script; `beforeUninstaller` goes in before its last line.
  void UseScript(const ByteString& beforeUninstaller) {
    PackageParts parts;
    parts.script =
        "action=path,Registry=Quillon\\Quillon,Version=2.5,PgmPath=*Programs*\\Quillon,"
        "DataPath=*PgmPath*\\Daten,MyStartMenu=*StartMenu*\\Quillon\r\n"
        "action=save,OrigLen=10,Filename=*PgmPath*\\Quillon.exe\r\n"
        "action=save,OrigLen=4,Filename=*DataPath*\\a.qdb\r\n"
        "action=icon,file=*PgmPath*\\Quillon.exe,lnk=*MyStartMenu*\\Quillon\r\n"
        "action=icon,file=*PgmPath*\\Quillon.exe,lnk=*Desktop*\\Quillon\r\n" +
        beforeUninstaller + "action=uninst,name=Quillon,Publisher=Quillon Software GmbH\r\n";
    parts.packedFiles = "MZ programdata";
    UsePackage(parts);
  }

  void Install(InstallScope scope) {
    const ByteString package = platform::ModuleFileName();
    ResetOwnSections();
    ResetEngineValues();
    ResetRunJournal();
    fakes::SetModuleFileName(package);
    Scope = scope;
    DesktopLinks = true;
    ASSERT_TRUE(RunSetupScript(true));
    ASSERT_TRUE(RunSetupScript(false)) << ErrorText;
  }

  ByteString Value(Hive hive, const ByteString& key, const ByteString& name) {
    return fakes::RegistryValueData(hive, key, name);
  }
  bool Exists(const ByteString& path) { return testsupport::FileExistsOnHost(Host(path)); }
};

TEST_F(Deployment, PerUserAndPerMachineInstallationsAreSeparate) {
  const ByteString userFolder = kUserPrograms + "\\Quillon";
  Install(InstallScope::CurrentUser);
  EXPECT_EQ(PgmPath, userFolder + "\\");
  EXPECT_EQ(testsupport::ReadHostFile(Host(userFolder + "\\Quillon.exe")), "MZ program");
  EXPECT_TRUE(Exists("C:\\Users\\u\\Start Menu\\Programs\\Quillon\\Quillon.lnk"));
  EXPECT_TRUE(Exists("C:\\Users\\u\\Desktop\\Quillon.lnk"));
  // The product key and the entry in the user's hive; the machine's is untouched,
  // the run's journal included; nobody else is let into the folders.
  EXPECT_EQ(Value(Hive::CurrentUser, "SOFTWARE\\Quillon\\Quillon", "Exec"), userFolder + "\\Quillon.exe");
  EXPECT_EQ(Value(Hive::CurrentUser, kEntry, "UninstallString"),
            userFolder + "\\uninstall.exe /uninst \"UninstallKey=Quillon 2024-01-02 03.04.05\" /CURRENTUSER");
  EXPECT_EQ(Value(Hive::CurrentUser, kEntry, "QuietUninstallString"),
            Value(Hive::CurrentUser, kEntry, "UninstallString") + " /S");
  EXPECT_EQ(Value(Hive::CurrentUser, kEntry, "InstallDate"), "20240102");
  EXPECT_EQ(Value(Hive::CurrentUser, kEntry, "InstallLocation"), userFolder);
  EXPECT_EQ(Value(Hive::CurrentUser, kEntry, "DisplayVersion"), "2.5");
  EXPECT_FALSE(fakes::RegistryKeyExists(Hive::LocalMachine, "SOFTWARE\\Quillon"));
  EXPECT_FALSE(fakes::RegistryKeyExists(Hive::LocalMachine, kEntry));
  EXPECT_FALSE(fakes::RegistryKeyExists(Hive::LocalMachine, "SOFTWARE\\QuillonSetup"));
  EXPECT_TRUE(fakes::AclCalls().empty());

  // For all users beside it: the earlier per-user installation is not this
  // scope's, so the default folder is offered and a second entry made.
  Install(InstallScope::AllUsers);
  EXPECT_EQ(PgmPath, "C:\\Program Files\\Quillon\\");
  EXPECT_EQ(Value(Hive::LocalMachine, "SOFTWARE\\Quillon\\Quillon", "Exec"), "C:\\Program Files\\Quillon\\Quillon.exe");
  EXPECT_EQ(Value(Hive::LocalMachine, kEntry, "UninstallString"),
            "\"C:\\Program Files\\Quillon\\uninstall.exe\" /uninst \"UninstallKey=Quillon 2024-01-02 03.04.05\"");
  EXPECT_EQ(Value(Hive::LocalMachine, kEntry, "InstallDate"), "20240102");
  EXPECT_TRUE(Exists("C:\\Users\\Public\\Desktop\\Quillon.lnk"));
  EXPECT_FALSE(fakes::AclCalls().empty());  // the data folder is opened to the users

  // An upgrade finds the installation of its own scope again, also when the
  // window's choice changes the scope after the first path-only run.
  ResetOwnSections();
  ResetEngineValues();
  ASSERT_TRUE(RunSetupScript(true));
  fakes::SetRegistryString(Hive::LocalMachine, "SOFTWARE\\Quillon\\Quillon", "Exec", "D:\\Q\\Quillon.exe");
  ASSERT_TRUE(OfferFoldersFor(InstallScope::CurrentUser));
  EXPECT_EQ(PgmPath, userFolder + "\\");
  EXPECT_EQ(DataPath, userFolder + "\\Daten\\");
  ASSERT_TRUE(OfferFoldersFor(InstallScope::AllUsers));
  EXPECT_EQ(PgmPath, "D:\\Q\\");

  // The per-user uninstaller, as its entry starts it, removes its own
  // installation and entry only.
  ResetOwnSections();
  ResetEngineValues();
  fakes::SetModuleFileName(Host(userFolder + "\\uninstall.exe"));
  fakes::SetCommandLine(Value(Hive::CurrentUser, kEntry, "QuietUninstallString"));
  ParseCommandLine();
  EXPECT_TRUE(Switches.currentUser && Switches.silent && PerUserRun());
  UninstallLeftovers leftovers;
  ASSERT_TRUE(RunUninstall(&leftovers)) << ErrorText;
  EXPECT_FALSE(testsupport::FileExistsOnHost(Host(userFolder + "\\Quillon.exe")));
  EXPECT_FALSE(fakes::RegistryKeyExists(Hive::CurrentUser, kEntry));
  EXPECT_TRUE(fakes::RegistryKeyExists(Hive::LocalMachine, kEntry));
  EXPECT_TRUE(testsupport::FileExistsOnHost(Host("C:\\Program Files\\Quillon\\Quillon.exe")));
}

// The data folder opens to the users last, at the commit: a run that is
// undone never opened it. A folder made outside the program folders
// (/D=C:\\Quillon, the start menu's) gets their protection at its creation.
TEST_F(Deployment, FoldersOutsideTheProgramFoldersAreProtectedTheDataFolderOpensAtTheCommit) {
  for (const char* folder : {"C:\\Program Files", "C:\\ProgramData\\Start Menu\\Programs", "C:\\Users\\Public\\Desktop"})
    ASSERT_TRUE(testsupport::MakeHostFolders(Host(folder)));
  UseScript("action=broken\r\n");
  Scope = InstallScope::AllUsers;
  ASSERT_TRUE(RunSetupScript(true));
  EXPECT_FALSE(RunSetupScript(false));
  EXPECT_FALSE(Exists("C:\\Program Files\\Quillon\\Daten\\a.qdb"));
  EXPECT_TRUE(fakes::AclCalls().empty());
  UseScript("");
  Install(InstallScope::AllUsers);
  ASSERT_EQ(fakes::AclCalls().size(), 1u);
  // Outside the program folders a new folder is protected as it is made;
  // the program folder and its data folder below it inherit.
  EXPECT_EQ(fakes::ProgramsProtectedFolders(),
            (std::vector<ByteString>(2, "C:\\ProgramData\\Start Menu\\Programs\\Quillon")));  // in both runs
  EXPECT_EQ(fakes::GrantedTrustee("C:\\Program Files\\Quillon\\Daten"), "S-1-5-32-545");
}

// A program holds every backup of a replaced file once it is made.
void HoldBackups(uint64_t) {
  for (const ByteString folder : {"C:\\Program Files\\Quillon\\", "C:\\Quillon\\"})
    for (const ByteString& name : platform::NamesIn(folder, "~qb")) platform::SetNativeHeldFile(folder + name, true);
}

// A backup still held at the commit goes at the restart only from the
// program folders: elsewhere a user could swap its folder for a link first.
TEST_F(Deployment, HeldBackupsGoAtTheRestartOnlyFromTheProgramFolders) {
  ASSERT_TRUE(testsupport::MakeHostFolders(Host("C:\\Program Files")));
  for (const ByteString folder : {"C:\\Program Files\\Quillon\\", "C:\\Quillon\\"}) {
    for (const bool held : {false, true}) {
      ResetEngineValues();
      ResetOwnSections();
      Scope = InstallScope::AllUsers;
      ASSERT_TRUE(RunSetupScript(true));
      PgmPath = folder;
      FollowChosenProgramFolder();
      platform::NativeRestartRemovals().clear();
      platform::SetNativeChangeHook(held ? HoldBackups : nullptr);
      ASSERT_TRUE(RunSetupScript(false)) << ErrorText;
      platform::SetNativeChangeHook(nullptr);
    }
    // The program's file and the uninstaller were replaced: each backup goes at the restart, or is said.
    const std::vector<ByteString> left = platform::NamesIn(folder, "~qb");
    ASSERT_EQ(left.size(), 2u) << folder;
    const bool programs = folder == "C:\\Program Files\\Quillon\\";
    const std::vector<ByteString>& said = programs ? platform::NativeRestartRemovals() : Refusals;
    EXPECT_EQ(platform::NativeRestartRemovals().size() + Refusals.size(), 2u);
    for (const ByteString& name : left) {
      const ByteString expected = (programs ? "" : "not removed at the restart (in a folder users may change): ") + folder + name;
      EXPECT_NE(std::find(said.begin(), said.end(), expected), said.end()) << expected;
      platform::SetNativeHeldFile(folder + name, false);
    }
  }
}

TEST(DeploymentSwitches, PassiveScopesAndRestart) {
  SetupSwitches s = ReadSwitches("Setup.exe /passive /CurrentUser /NORESTART");
  EXPECT_TRUE(s.passive && s.silent && s.currentUser && s.noRestart);
  EXPECT_FALSE(s.allUsers || s.elevatedCopy);
  EXPECT_EQ(s.wrong, "");
  EXPECT_TRUE(ReadSwitches("Setup.exe /S /ALLUSERS").allUsers);
  EXPECT_FALSE(ReadSwitches("Setup.exe /S").passive);
  EXPECT_EQ(ReadSwitches("Setup.exe /S /ALLUSERS /CURRENTUSER").wrong, "/CURRENTUSER /ALLUSERS");
}

class Elevation : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    fakes::SetModuleFileName("C:\\dl\\Setup.exe");
  }
  void TearDown() override {
    Switches = SetupSwitches();
    EngineTest::TearDown();
  }
  void Start(const ByteString& commandLine) {
    fakes::SetCommandLine(commandLine);
    ParseCommandLine();
  }
};

TEST_F(Elevation, OnlyARunForAllUsersWithoutTheRightsAsksForThem) {
  fakes::SetAdministratorRights(false);
  Start("\"C:\\dl\\Setup.exe\" /S");
  EXPECT_TRUE(NeedsElevation());
  Start("\"C:\\dl\\Setup.exe\" /S /ALLUSERS");
  EXPECT_TRUE(NeedsElevation());
  // For the current user, or the copy that still lacks them: no asking again.
  Start("\"C:\\dl\\Setup.exe\" /S /CURRENTUSER");
  EXPECT_FALSE(NeedsElevation());
  Start("\"C:\\dl\\Setup.exe\" /ELEVATED /S");
  EXPECT_FALSE(NeedsElevation());
  // The uninstaller of a per-user installation, as its entry starts it.
  Start("\"C:\\U\\uninstall.exe\" /uninst \"UninstallKey=Quillon 2024\" /CURRENTUSER /S");
  EXPECT_FALSE(NeedsElevation());
  fakes::SetAdministratorRights(true);
  Start("\"C:\\dl\\Setup.exe\" /S");
  EXPECT_FALSE(NeedsElevation());
  EXPECT_TRUE(fakes::ElevatedStarts().empty());
}

// What the run does with the copy's outcome: tests/e2e/app/ElevationRefusedTest.cpp.
TEST_F(Elevation, TheCopyGetsTheSameParameters) {
  fakes::SetAdministratorRights(false);
  Start("\"C:\\dl\\Setup.exe\"  /S \"/LOG=C:\\a b.log\" /D=C:\\Program Files\\Q");
  ElevatedOutcome outcome = RunElevatedCopy();
  ASSERT_EQ(fakes::ElevatedStarts().size(), 1u);
  EXPECT_EQ(fakes::ElevatedStarts()[0].file, "C:\\dl\\Setup.exe");
  // The marker first: the unquoted folder stays the rest of the line. The
  // user's log file is never the copy's: it gets the name of its own place.
  const ByteString parameters = fakes::ElevatedStarts()[0].parameters;
  const SetupSwitches copy = ReadSwitches("Setup.exe " + parameters);
  EXPECT_EQ(parameters, "/ELEVATED /ELEVATEDLOG=" + copy.logToken + " /S /D=C:\\Program Files\\Q");
  EXPECT_TRUE(copy.elevatedCopy && copy.silent && copy.wrong.empty());
  EXPECT_EQ(copy.folder, "C:\\Program Files\\Q");
  EXPECT_EQ(copy.logToken.size(), 16u);
  // The copy's log place, made new, opens to the users only to read the log
  // and remove it with its folder.
  const SetupSwitches requester = Switches;
  Switches = copy;
  WriteRequestedLog("0");
  Switches = requester;
  const ByteString place = "C:\\ProgramData\\QuillonSetupLog-" + copy.logToken;
  EXPECT_EQ(fakes::ProgramsProtectedFolders(), std::vector<ByteString>{place});
  ASSERT_EQ(fakes::AclCalls().size(), 1u);
  EXPECT_EQ(fakes::AclCalls()[0].folder, place);
  EXPECT_EQ(fakes::AclCalls()[0].trustee, "S-1-5-32-545");
  EXPECT_EQ(fakes::AclCalls()[0].grant, platform::FolderGrant::ReadAndRemove);

  fakes::SetElevationOutcome(platform::ElevatedRun::Refused);
  outcome = RunElevatedCopy("/PASSIVE");
  EXPECT_EQ(outcome.run, platform::ElevatedRun::Refused);
  EXPECT_EQ(fakes::ElevatedStarts()[1].parameters.rfind("/ELEVATED /ELEVATEDLOG=", 0), 0u);
  EXPECT_NE(fakes::ElevatedStarts()[1].parameters.find(" /PASSIVE /S /D="), ByteString::npos);
  // A place named by anything but the copy's token is none.
  EXPECT_EQ(ReadSwitches("Setup.exe /ELEVATED /ELEVATEDLOG=..\\..\\Windows\\x").logToken, "");
}

}  // namespace
}  // namespace enginetest
