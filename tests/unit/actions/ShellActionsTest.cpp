#include "ActionsFixture.h"
#include "engine/CommandLine.h"
#include "engine/EngineErrors.h"
#include "engine/ShellActions.h"
#include "platform/Shell.h"

namespace {

class ShellActionsTest : public ActionsTest {
protected:
  void SetUp() override {
    ActionsTest::SetUp();
    PgmPath = "C:\\Prog\\";
    fakes::SetSpecialFolder(platform::kCsidlCommonPrograms, "C:\\Menu");
    fakes::SetSpecialFolder(platform::kCsidlCommonDesktop, "C:\\Desk");
    Switches = SetupSwitches();
  }
  void TearDown() override {
    Switches = SetupSwitches();
    ActionsTest::TearDown();
  }
  bool Icon(const ByteString& line) { return IconAction(SplitCommandItems(line)); }
};

TEST_F(ShellActionsTest, IconCreatesTheLinkWithDoubledBackslash) {
  EXPECT_TRUE(Icon("action=icon,file=*PgmPath*\\Quillon.exe,\"param=-open last\",lnk=*StartMenu*\\Quillon\\Quillon"));
  ASSERT_EQ(fakes::ShellLinks().size(), 1u);
  const fakes::RecordedShellLink& link = fakes::ShellLinks()[0];
  EXPECT_EQ(link.target, "C:\\Prog\\Quillon.exe");
  EXPECT_EQ(link.arguments, "-open last");
  EXPECT_EQ(link.workingFolder, "C:\\Prog\\");
  // Saved under a temporary name in the link's folder, then put in place.
  EXPECT_EQ(fakes::NarrowPath(link.savedPath).rfind("C:\\Menu\\Quillon\\\\~qn", 0), 0u);
  EXPECT_EQ(Entries(*WrittenFiles), (std::vector<ByteString>{"C:\\Menu\\Quillon\\\\Quillon.lnk"}));
  EXPECT_EQ(Entries(*CreatedFolders), (std::vector<ByteString>{"C:\\Menu\\Quillon"}));
  EXPECT_TRUE(Exists("C:\\Menu\\Quillon\\Quillon.lnk"));
  EXPECT_EQ(ErrorText, "");
}

TEST_F(ShellActionsTest, LnkExtensionIsNotDoubled) {
  EXPECT_TRUE(Icon("action=icon,file=C:\\Prog\\a.exe,lnk=C:\\Menu\\A.LnK"));
  EXPECT_TRUE(Icon("action=icon,file=C:\\Prog\\b.exe,lnk=C:\\Menu\\B.lnk.txt"));
  EXPECT_EQ(Entries(*WrittenFiles),
            (std::vector<ByteString>{"C:\\Menu\\\\A.LnK", "C:\\Menu\\\\B.lnk.txt.lnk"}));
}

TEST_F(ShellActionsTest, DesktopLinksFollowTheUsersChoice) {
  DesktopLinks = false;
  EXPECT_TRUE(Icon("action=icon,file=*PgmPath*\\Quillon.exe,lnk=*Desktop*\\Quillon"));
  EXPECT_TRUE(fakes::ShellLinks().empty());
  EXPECT_EQ(WrittenFiles->Count(), 0);
  EXPECT_EQ(CreatedFolders->Count(), 0);

  DesktopLinks = true;
  EXPECT_TRUE(Icon("action=icon,file=*PgmPath*\\Quillon.exe,lnk=*Desktop*\\Quillon"));
  ASSERT_EQ(fakes::ShellLinks().size(), 1u);
  EXPECT_TRUE(Exists("C:\\Desk\\Quillon.lnk"));
}

TEST_F(ShellActionsTest, AdministratorFoldersGoToAllUsers) {
  CreateShellLink("C:\\Prog\\q.exe", "", "C:\\Documents\\Administrator\\Desktop\\", true, "Q");
  CreateShellLink("C:\\Prog\\q.exe", "", "C:\\Documents\\xAdministrator\\Desktop\\", true, "Q");
  CreateShellLink("C:\\Prog\\q.exe", "", "C:\\Documents\\Administrator\\Desktop\\", false, "Q");
  EXPECT_EQ(Entries(*WrittenFiles),
            (std::vector<ByteString>{"C:\\Documents\\All Users\\Desktop\\\\Q.lnk",
                                     "C:\\Documents\\xAdministrator\\Desktop\\\\Q.lnk",
                                     "C:\\Documents\\Administrator\\Desktop\\\\Q.lnk"}));
}

TEST_F(ShellActionsTest, MissingShellLinkObjectRaises) {
  fakes::SetShellLinkCreationFails(true);
  EXPECT_THROW(Icon("action=icon,file=C:\\Prog\\a.exe,lnk=C:\\Menu\\A"), EShellLinkError);
  EXPECT_EQ(WrittenFiles->Count(), 0);
}

TEST_F(ShellActionsTest, DesktopIniHasItsExactBytes) {
  Write("C:\\Prog\\Quillon.ico", "icon");
  EXPECT_TRUE(DesktopIniAction(SplitCommandItems("action=desktopini,path=*PgmPath*,icon=*PgmPath*\\Quillon.ico")));
  EXPECT_EQ(Read("C:\\Prog\\Desktop.ini"), "[.ShellClassInfo]\r\nIconFile=C:\\Prog\\Quillon.ico\r\nIconIndex=0\r\n");
  EXPECT_EQ(Entries(*WrittenFiles), (std::vector<ByteString>{"C:\\Prog\\Desktop.ini"}));
  EXPECT_EQ(fakes::SystemFolders(), (std::vector<ByteString>{"C:\\Prog"}));
}

TEST_F(ShellActionsTest, DesktopIniNeedsIconFolderAndShlwapi) {
  std::filesystem::create_directories(Host("C:\\Prog"));
  // Icon file missing (or a folder): nothing at all.
  EXPECT_TRUE(DesktopIniAction(SplitCommandItems("action=desktopini,path=C:\\Prog\\,icon=C:\\Prog\\none.ico")));
  EXPECT_TRUE(DesktopIniAction(SplitCommandItems("action=desktopini,path=C:\\Prog\\,icon=C:\\Prog")));
  EXPECT_TRUE(DesktopIniAction(SplitCommandItems("action=desktopini,path=C:\\Prog\\")));
  EXPECT_FALSE(Exists("C:\\Prog\\Desktop.ini"));

  Write("C:\\Prog\\q.ico", "icon");
  // The folder is not created here; no record, no error.
  WriteDesktopIni("C:\\Missing\\", "C:\\Prog\\q.ico");
  // Without PathMakeSystemFolderA nothing is written.
  fakes::SetPathMakeSystemFolderPresent(false);
  WriteDesktopIni("C:\\Prog\\", "C:\\Prog\\q.ico");
  EXPECT_FALSE(Exists("C:\\Prog\\Desktop.ini"));
  EXPECT_EQ(WrittenFiles->Count(), 0);
  EXPECT_TRUE(fakes::SystemFolders().empty());
  EXPECT_EQ(ErrorText, "");
}

TEST_F(ShellActionsTest, ExecParamsLastCommandWins) {
  EXPECT_TRUE(ExecAction(SplitCommandItems("action=exec,\"params=/first run\"")));
  EXPECT_EQ(ExecParams, "/first run");
  EXPECT_TRUE(ExecAction(SplitCommandItems("action=exec")));
  EXPECT_EQ(ExecParams, "");
}

TEST_F(ShellActionsTest, RunProgramStartsAsTheUserInItsFolder) {
  EXPECT_FALSE(RunProgram());
  EXPECT_TRUE(fakes::StartedPrograms().empty());

  Exec = "C:\\Prog\\Quillon.exe";
  EXPECT_TRUE(RunProgram());
  Exec = "C:\\Program Files\\Quillon\\Quillon.exe";
  ExecParams = "/welcome \"a b\"";
  EXPECT_TRUE(RunProgram());
  // Elevated to another account: the shell may not be the parent, its token serves.
  fakes::SetShellParentOffered(false);
  Exec = "C:\\Quillon.exe";
  ExecParams.clear();
  EXPECT_TRUE(RunProgram());

  const std::vector<fakes::StartedProgram>& started = fakes::StartedPrograms();
  ASSERT_EQ(started.size(), 3u);
  EXPECT_EQ(started[0].start.file, "C:\\Prog\\Quillon.exe");
  EXPECT_EQ(started[0].start.commandLine, "\"C:\\Prog\\Quillon.exe\"");
  EXPECT_EQ(started[0].start.folder, "C:\\Prog");
  EXPECT_EQ(started[0].start.showCommand, 5);
  EXPECT_EQ(started[0].as, fakes::StartedAs::ShellChild);
  // The file is the application name; unquoted, the system would try "C:\Program.exe" first.
  EXPECT_EQ(started[1].start.file, "C:\\Program Files\\Quillon\\Quillon.exe");
  EXPECT_EQ(started[1].start.commandLine, "\"C:\\Program Files\\Quillon\\Quillon.exe\" /welcome \"a b\"");
  EXPECT_EQ(started[1].start.folder, "C:\\Program Files\\Quillon");
  EXPECT_EQ(started[2].start.folder, "C:\\");
  EXPECT_EQ(started[2].as, fakes::StartedAs::ShellToken);
  EXPECT_EQ(ErrorText, "");
}

// The product never runs with the setup's rights: without a desktop user
// to start it as, an administrator's or the elevated copy's run leaves it
// unstarted, a system account's run never starts it; only a run with the
// user's own rights starts it as its own child.
TEST_F(ShellActionsTest, RunProgramNeverWithTheSetupsRights) {
  Exec = "C:\\Prog\\Quillon.exe";
  fakes::SetUserShellOffered(false);
  for (const bool elevatedCopy : {false, true}) {
    Switches.elevatedCopy = elevatedCopy;
    fakes::SetAdministratorRights(!elevatedCopy);
    EXPECT_TRUE(RunProgram());
  }
  EXPECT_EQ(Refusals, std::vector<ByteString>{"not started: C:\\Prog\\Quillon.exe (no desktop user to start it as)"});
  Switches.elevatedCopy = false;
  fakes::SetAdministratorRights(false);
  EXPECT_TRUE(RunProgram());
  fakes::SetUserShellOffered(true);
  fakes::SetRunsAsSystem(true);
  EXPECT_TRUE(RunProgram());
  ASSERT_EQ(fakes::StartedPrograms().size(), 1u);
  EXPECT_EQ(fakes::StartedPrograms()[0].as, fakes::StartedAs::OwnChild);
  EXPECT_EQ(Refusals.back(), "not started: C:\\Prog\\Quillon.exe (the setup runs as the system account)");
}

}  // namespace
