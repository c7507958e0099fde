// A run killed at every single change it makes (a child process ends itself
// there, leaving its files and its registry as a kill would), then the next
// start's recovery, by a setup or by the run's own uninstaller in place (the
// placeholder or the complete one, which cannot remove itself while it
// runs): the machine is always either as before the run or as after a
// complete one.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "UpdateBuilder.h"
#include "engine/ErrorList.h"
#include "engine/JournalFormat.h"
#include "engine/InstallChecks.h"
#include "engine/ProductSettings.h"
#include "engine/RunJournal.h"
#include "engine/ScriptInterpreter.h"
#include "engine/Uninstaller.h"
#include "package/Sections.h"
#include "platform/Shell.h"
#include "tests/unit/engine/EngineFixture.h"

namespace enginetest {
namespace {

namespace fs = std::filesystem;

ByteString gRegistryFile;
uint64_t gKillAt = 0;
uint64_t gChanges = 0;

// In the child: at the chosen change, the registry is handed over and the
// process ends on the spot: no destructor, no rollback.
void KillHere(uint64_t point) {
  gChanges = point;
  if (point != gKillAt) return;
  std::ofstream(gRegistryFile, std::ios::binary) << fakes::DumpRegistry();
  _exit(0);
}

class KilledRun : public EngineTest {
protected:
  // The files below drive C (the setup's log aside) with their contents, and
  // the registry: journal folders that a kill left named by nothing count
  // too, as the next start sweeps them.
  ByteString Snapshot() {
    ByteString text;
    std::map<ByteString, ByteString> entries;
    for (const auto& entry : fs::recursive_directory_iterator(Host("C:\\"))) {
      const ByteString path = entry.path().string();
      if (path == Host("C:\\Setup.log")) continue;
      entries[path] = entry.is_directory() ? "<dir>" : testsupport::ReadHostFile(path);
    }
    for (const auto& [path, contents] : entries) text += path + "=" + contents + "\n";
    return text + fakes::DumpRegistry();
  }
  void SaveMachine() {
    fs::remove_all(temp_ / "saved");
    fs::copy(Host("C:\\"), temp_ / "saved", fs::copy_options::recursive);
    savedRegistry_ = fakes::DumpRegistry();
  }
  void RestoreMachine() {
    fs::remove_all(Host("C:\\"));
    fs::copy(temp_ / "saved", Host("C:\\"), fs::copy_options::recursive);
    fakes::LoadRegistry(savedRegistry_);
  }
  // The packer's update from `base` to `next`.
  ByteString Update(const PackageParts& base, const PackageParts& next) {
    const ByteString basePath = temp_ / "base.exe", nextPath = temp_ / "next.exe";
    testsupport::WriteHostFile(basePath, BuildPackage("MZ stub", base));
    testsupport::WriteHostFile(nextPath, BuildPackage("MZ stub", next));
    std::string update, error;
    EXPECT_TRUE(setuppack::BuildUpdate({basePath, nextPath, 2}, update, error)) << error;
    return update;
  }
  // A machine as Windows has it: the uninstall entries' key exists.
  void MakeEntriesKey() {
    platform::RegKey key = 0;
    ASSERT_TRUE(platform::RegCreate(platform::Hive::LocalMachine, kUninstallRoot, key));
    platform::RegClose(key);
  }
  void Install(const ByteString& package) {
    ResetEngineValues();
    ResetOwnSections();
    UsePackageFile(package);
    ASSERT_TRUE(RunSetupScript(true));
    ASSERT_TRUE(RunSetupScript(false)) << ErrorText;
  }
  // Runs the 2.0 setup in a child that ends itself before change `killAt`
  // (0: never); the parent then holds the machine the child left.
  void RunChild(uint64_t killAt) {
    gRegistryFile = temp_ / "registry.txt";
    std::remove(gRegistryFile.c_str());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      gKillAt = killAt;
      platform::SetNativeChangeHook(KillHere);
      ResetEngineValues();
      if (perUser_) Scope = InstallScope::CurrentUser;
      ResetOwnSections();
      UsePackageFile(version2_);
      RunSetupScript(true);
      const bool done = RunSetupScript(false);
      std::ofstream(gRegistryFile, std::ios::binary) << fakes::DumpRegistry();
      std::ofstream(temp_ / "points.txt") << (done ? "done " : "failed ") << gChanges;
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    fakes::LoadRegistry(testsupport::ReadHostFile(gRegistryFile));
  }
  PackageParts Version(const char* version, const ByteString& a, const ByteString& b, bool extra) {
    ByteString script = ByteString("action=path,Registry=Quillon,Version=") + version +
                        ",PgmPath=C:\\Q,DataPath=*PgmPath*\\Daten,MyStartMenu=C:\\Menu\\Quillon\r\n";
    PackageParts parts;
    const auto save = [&](const char* action, const ByteString& name, const ByteString& data) {
      script += ByteString("action=") + action + ",OrigLen=" + std::to_string(data.size()) + ",Filename=" + name + "\r\n";
      parts.packedFiles += data;
    };
    save("save", "*PgmPath*\\Quillon.exe", a);
    save("save", "*PgmPath*\\sub\\info.txt", b);
    save("saveifnotexists", "*DataPath*\\Quillon.qdb", "the user's data");
    if (extra) save("save", "*PgmPath*\\new.txt", "new in 2.0");
    script += "action=icon,file=*PgmPath*\\Quillon.exe,lnk=*MyStartMenu*\\Quillon\r\n"
              "action=desktopini,path=*PgmPath*\\,icon=*PgmPath*\\Quillon.exe\r\n"
              "action=uninst,name=Quillon,Publisher=Quillon Software GmbH\r\n";
    parts.script = script;
    return parts;
  }

  // The uninstaller started in place: what the recovery leaves of its own
  // file and folders goes as it ends, as the self-removal does it.
  bool RecoverFromTheUninstaller() {
    fakes::SetModuleFileName("C:\\Q\\uninstall.exe");
    OwnFileLeft own;
    RecoverUnfinishedRun(nullptr, &own);
    if (own.file.empty()) return false;
    EXPECT_TRUE(fs::remove(Host(own.file))) << own.file;
    std::error_code ignored;
    for (const ByteString& folder : own.folders) fs::remove(Host(folder), ignored);  // only an empty one
    return true;
  }
  bool HasEntry() {
    platform::RegKey root = 0;
    const platform::Hive hive = perUser_ ? platform::Hive::CurrentUser : platform::Hive::LocalMachine;
    if (!platform::RegOpen(hive, kUninstallRoot, false, root)) return false;
    const std::vector<ByteString> names = platform::RegSubkeyNames(root);
    platform::RegClose(root);
    return std::any_of(names.begin(), names.end(), [](const ByteString& name) { return name.rfind("Quillon ", 0) == 0; });
  }
  // Kills the run of version2_ before each of its changes and recovers,
  // every other time from the uninstaller; counts the outcomes.
  struct Outcomes {
    int earlier = 0, newer = 0, ownFileLeft = 0, grantsCompleted = 0;
  };
  Outcomes KillAtEveryChange(const ByteString& before) {
    RunChild(0);
    const ByteString result = testsupport::ReadHostFile(temp_ / "points.txt");
    EXPECT_EQ(result.rfind("done ", 0), 0u) << result;
    const uint64_t changes = std::stoull(result.substr(5));
    const ByteString after = Snapshot();
    EXPECT_NE(before, after);
    EXPECT_FALSE(UnfinishedRunJournal());
    Outcomes outcomes;
    for (uint64_t killAt = 1; killAt <= changes; ++killAt) {
      RestoreMachine();
      RunChild(killAt);
      // Right after the kill: an entry only with an uninstaller that can remove the installation.
      if (HasEntry()) {
        EXPECT_NE(testsupport::ReadHostFile(Host("C:\\Q\\uninstall.exe")).find(MakeSectionMarker(kSectionUninst)),
                  ByteString::npos) << "killed before change " << killAt << ": an entry with the placeholder";
      }
      ResetRunJournal();
      // The next start is of the same scope: a per-user setup, or the
      // per-user uninstaller (its entry's command carries /CURRENTUSER).
      if (perUser_) Scope = InstallScope::CurrentUser;
      const bool unfinished = UnfinishedRunJournal();
      const std::size_t aclCalls = fakes::AclCalls().size();
      if (killAt % 2 == 0) RecoverUnfinishedRun();
      else outcomes.ownFileLeft += RecoverFromTheUninstaller();
      // The data folder is opened to the users only by a commit: an undone
      // run never, a killed commit when the next start completes it.
      const bool granted = std::any_of(fakes::AclCalls().begin() + aclCalls, fakes::AclCalls().end(),
                                       [](const fakes::AclCall& call) { return call.folder == "C:\\Q\\Daten"; });
      const ByteString now = Snapshot();
      if (now == before) ++outcomes.earlier;
      else if (now == after) ++outcomes.newer;
      else ADD_FAILURE() << "killed before change " << killAt << " of " << changes << ": neither state";
      if (now == before) {
        EXPECT_FALSE(granted) << "killed before change " << killAt;
      }
      if (now == after && unfinished && expectGrant_) {
        EXPECT_TRUE(granted) << "killed before change " << killAt;
      }
      outcomes.grantsCompleted += granted;
      EXPECT_FALSE(UnfinishedRunJournal());
    }
    return outcomes;
  }

  // A first install of version 1.0, killed everywhere.
  void FirstInstallKilledEverywhere() {
    // What every system has.
    for (platform::Hive hive : {platform::Hive::LocalMachine, platform::Hive::CurrentUser})
      fakes::CreateRegistryKey(hive, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    const ByteString before = Snapshot();
    SaveMachine();
    version2_ = BuildPackage("MZ stub", Version("1.0", "MZ program 1.0", "info 1.0", false));
    expectGrant_ = !perUser_;
    const Outcomes outcomes = KillAtEveryChange(before);
    EXPECT_EQ(outcomes.grantsCompleted > 0, expectGrant_);
    EXPECT_GT(outcomes.earlier, 10);
    EXPECT_GT(outcomes.newer, 0);
    // Killed after the placeholder was written, the placeholder itself undid the run.
    EXPECT_GT(outcomes.ownFileLeft, 1);
  }

  // The package file of the run a child makes.
  ByteString version2_;
  ByteString savedRegistry_;
  bool perUser_ = false;
  bool expectGrant_ = false;  // the run opens a data folder it made
};

TEST_F(KilledRun, EveryKillPointEndsInTheEarlierOrTheNewInstallation) {
  UsePackage(Version("1.0", "MZ program 1.0", "info 1.0", false));
  ASSERT_TRUE(RunSetupScript(true));
  ASSERT_TRUE(RunSetupScript(false));
  const ByteString before = Snapshot();
  SaveMachine();

  version2_ = BuildPackage("MZ stub", Version("2.0", "MZ program 2.0, longer", "info 2.0", true));
  const Outcomes outcomes = KillAtEveryChange(before);
  // The kills before the commit entry give back the earlier installation,
  // those after it the new one; an uninstaller of the undone run (written,
  // not yet committed) moved aside for the earlier one.
  EXPECT_GT(outcomes.earlier, 10);
  EXPECT_GT(outcomes.newer, 0);
  EXPECT_GT(outcomes.ownFileLeft, 0);
}

TEST_F(KilledRun, AFirstInstallKilledAnywhereIsUndoneAlsoByItsPlaceholder) { FirstInstallKilledEverywhere(); }

// The journal and the entry in the user's hive.
TEST_F(KilledRun, APerUserFirstInstallKilledAnywhereIsUndoneAlike) {
  perUser_ = true;
  testsupport::MakeHostFolders(Host("C:\\Users\\Q\\AppData\\Local"));
  fakes::SetSpecialFolder(platform::kCsidlLocalAppData, "C:\\Users\\Q\\AppData\\Local");
  FirstInstallKilledEverywhere();
}

// Journals another program planted: the user's hive's anchor (any program
// of the user may write it) and a machine's anchor naming a journal outside
// a folder of the administrators alone. A run with the machine's rights
// replays neither; the machine's is set aside and named in the errors, and
// the run goes on.
TEST_F(KilledRun, PlantedJournalsAreNeverReplayed) {
  using platform::Hive;
  const auto Write = [this](const ByteString& path, const ByteString& bytes) {
    testsupport::MakeHostFolders(Host(path.substr(0, path.rfind('\\'))));
    ASSERT_TRUE(testsupport::WriteHostFile(Host(path), bytes));
  };
  Write("C:\\Victim\\keep.txt", "keep");
  const ByteString journal = ByteString(kJournalHeader) + "\n" +
                             EncodeEntry({"file", {"C:\\Victim\\keep.txt", "", ""}}) +
                             EncodeEntry({"value", {"M", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Evil",
                                                    "1", HexOf(ByteString("C:\\evil.exe\0", 12))}});
  const auto plant = [&](Hive hive, const ByteString& folder) {
    Write(folder + "\\journal", journal);
    fakes::SetRegistryString(hive, hive == Hive::LocalMachine ? "SOFTWARE\\QuillonSetup" : "Software\\QuillonSetup",
                             "RunJournal", folder + "\\journal");
  };
  plant(Hive::CurrentUser, "C:\\Users\\u\\Planted");
  EXPECT_FALSE(UnfinishedRunJournal());
  EXPECT_FALSE(RecoverUnfinishedRun());
  EXPECT_EQ(Refusals, std::vector<ByteString>{"journal not replayed: C:\\Users\\u\\Planted\\journal (the user's "
                                              "hive's, left for the user's own run)"});
  // Where the user can write, and a folder of the right name that the
  // administrators do not own alone.
  for (const ByteString folder : {"C:\\Users\\u\\Planted", "C:\\ProgramData\\QuillonSetup-0123456789abcdef"}) {
    Refusals.clear();
    plant(Hive::LocalMachine, folder);
    EXPECT_FALSE(RecoverUnfinishedRun());
    ASSERT_EQ(Refusals.size(), 2u);  // the user's, left alone again, and the machine's
    EXPECT_EQ(Refusals[0].rfind("journal not replayed: " + folder + "\\journal (", 0), 0u) << Refusals[0];
    EXPECT_EQ(fakes::RegistryValueData(Hive::LocalMachine, "SOFTWARE\\QuillonSetup", "RefusedJournal"),
              folder + "\\journal");
    EXPECT_FALSE(UnfinishedRunJournal());
  }
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\Victim\\keep.txt")), "keep");
  EXPECT_FALSE(fakes::RegistryKeyExists(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"));
  // The run goes on: a new journal opens beside what was set aside.
  EXPECT_TRUE(OpenRunJournal());
  ResetRunJournal();
  // The user's own runs recover the user's journal: without the machine's
  // rights, or for the user alone.
  Scope = InstallScope::CurrentUser;
  EXPECT_TRUE(UnfinishedRunJournal());
  Scope = InstallScope::AllUsers;
  fakes::SetAdministratorRights(false);
  EXPECT_TRUE(UnfinishedRunJournal());
  // Even there only a journal whose every entry lies in the folders it names
  // is replayed: one entry outside sets it aside whole, the rest untouched.
  Write("C:\\Users\\u\\Prog\\a.txt", "mine");
  Write("C:\\Users\\u\\Planted\\journal",
        ByteString(kJournalHeader) + "\n" + EncodeEntry({"place", {"C:\\Users\\u\\Prog"}}) +
            EncodeEntry({"file", {"C:\\Users\\u\\Prog\\a.txt", "", ""}}) +
            EncodeEntry({"file", {"C:\\Users\\u\\Prog\\..\\..\\..\\..\\Victim\\keep.txt", "", ""}}));
  Refusals.clear();
  EXPECT_FALSE(RecoverUnfinishedRun());
  ASSERT_FALSE(Refusals.empty());  // the machine's journal opened above is left alone first
  EXPECT_EQ(Refusals.back(), "journal not replayed: C:\\Users\\u\\Planted\\journal (C:\\Users\\u\\Prog\\..\\..\\..\\..\\"
                             "Victim\\keep.txt lies outside its run's folders)");
  EXPECT_EQ(fakes::RegistryValueData(Hive::CurrentUser, "Software\\QuillonSetup", "RefusedJournal"),
            "C:\\Users\\u\\Planted\\journal");
  EXPECT_FALSE(UnfinishedRunJournal());
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\Users\\u\\Prog\\a.txt")), "mine");
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\Victim\\keep.txt")), "keep");
}

// What killed runs left in the machine's place, named by nothing: the next
// start with the machine's rights removes a journal's folder, and an
// elevated copy's log folder that nobody may still be reading (a day
// unchanged); never one holding anything else, one a user could have made
// or changed, a link, or a name that is not a token's.
TEST_F(KilledRun, TheNextStartSweepsOnlyWhatKilledRunsLeft) {
  const fs::perms adminsOnly = fs::perms::owner_all;
  const auto leave = [&](const ByteString& name, const char* file, int hoursOld,
                         fs::perms mode = fs::perms::owner_all) {
    const fs::path folder = Host("C:\\ProgramData\\" + name);
    fs::create_directories(folder);
    const auto then = fs::file_time_type::clock::now() - std::chrono::hours(hoursOld);
    if (file) testsupport::WriteHostFile(folder / file, "left");
    if (file) fs::last_write_time(folder / file, then);
    fs::last_write_time(folder, then);
    fs::permissions(folder, mode);
  };
  leave("QuillonSetup-0123456789abcdef", "journal", 0);
  leave("QuillonSetupLog-0123456789abcdef", "Setup.log", 25);
  leave("QuillonSetupLog-fedcba9876543210", nullptr, 25);
  const std::set<std::string> staying{"QuillonSetupLog-1111111111111111", "QuillonSetupLog-2222222222222222",
                                      "QuillonSetupLog-3333333333333333", "QuillonSetupLog-4444",
                                      "QuillonSetupLog-5555555555555555"};
  leave("QuillonSetupLog-1111111111111111", "Setup.log", 0);
  leave("QuillonSetupLog-2222222222222222", "other.txt", 25);
  leave("QuillonSetupLog-3333333333333333", "Setup.log", 25, adminsOnly | fs::perms::group_all | fs::perms::others_all);
  leave("QuillonSetupLog-4444", "Setup.log", 25);
  leave("Victim", "Setup.log", 25);
  fs::create_directory_symlink(Host("C:\\ProgramData\\Victim"),
                               Host("C:\\ProgramData\\QuillonSetupLog-5555555555555555"));
  const auto left = [&] {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Host("C:\\ProgramData")))
      if (entry.path().filename() != "Victim") names.insert(entry.path().filename().string());
    return names;
  };
  const std::set<std::string> all = left();
  fakes::SetAdministratorRights(false);
  RecoverUnfinishedRun();
  EXPECT_EQ(left(), all) << "only a run with the machine's rights sweeps its place";
  fakes::SetAdministratorRights(true);
  RecoverUnfinishedRun();
  EXPECT_EQ(left(), staying);
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\ProgramData\\Victim\\Setup.log")), "left");
}

// The user's journal is the user's own runs' alone: a per-user run raised
// above the user's programs, or as the system account, leaves it named and
// starts nothing over it; the user's unelevated run recovers it.
TEST_F(KilledRun, OnlyAnUnelevatedRunRecoversTheUsersJournal) {
  using platform::Hive;
  const ByteString folder = "C:\\Users\\u\\AppData\\Local\\QuillonSetup-0123456789abcdef", file = "C:\\Users\\u\\a.txt";
  testsupport::MakeHostFolders(Host(folder));
  ASSERT_TRUE(testsupport::WriteHostFile(Host(file), "new"));
  const ByteString entries = EncodeEntry({"place", {"C:\\Users\\u"}}) + EncodeEntry({"file", {file, "", ""}});
  ASSERT_TRUE(testsupport::WriteHostFile(Host(folder + "\\journal"), ByteString(kJournalHeader) + "\n" + entries));
  fakes::SetRegistryString(Hive::CurrentUser, "Software\\QuillonSetup", "RunJournal", folder + "\\journal");
  Scope = InstallScope::CurrentUser;
  for (const bool system : {false, true}) {
    fakes::SetRunsElevated(!system);
    fakes::SetRunsAsSystem(system);
    EXPECT_FALSE(RecoverUnfinishedRun());
    EXPECT_FALSE(OpenRunJournal());
  }
  EXPECT_EQ(Refusals, std::vector<ByteString>{"journal not replayed: " + folder +
                                              "\\journal (the user's hive's, left for the user's own run)"});
  EXPECT_EQ(fakes::RegistryValueData(Hive::CurrentUser, "Software\\QuillonSetup", "RunJournal"), folder + "\\journal");
  EXPECT_EQ(testsupport::ReadHostFile(Host(file)), "new");
  fakes::SetRunsAsSystem(false);
  EXPECT_TRUE(RecoverUnfinishedRun());
  EXPECT_FALSE(testsupport::FileExistsOnHost(Host(file)));
  EXPECT_FALSE(UnfinishedRunJournal());
}

// A program rebuilt: pseudo-random bytes (nothing to compress) with a few
// changed in many places and a stretch inserted.
ByteString Program(int edits) {
  ByteString bytes(60000, '\0');
  uint32_t seed = 7;
  for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
  for (int i = 0; i < edits; ++i) bytes[static_cast<std::size_t>(i) * 997] ^= 0x10;
  if (edits > 0) bytes.insert(30000, "new code in this version");
  return bytes;
}

TEST_F(KilledRun, AnUpdateLeavesWhatTheFullSetupLeavesWhereverItIsKilled) {
  const PackageParts base = Version("2.5", Program(0), "info", false);
  const PackageParts next = Version("2.6", Program(40), "info", true);
  const ByteString update = Update(base, next);
  EXPECT_LT(update.size(), 2000u) << "a patch, one unchanged file and one new";
  MakeEntriesKey();
  Install(BuildPackage("MZ stub", base));
  const ByteString before = Snapshot();
  SaveMachine();
  version2_ = BuildPackage("MZ stub", next);
  RunChild(0);
  const ByteString afterFullSetup = Snapshot();

  RestoreMachine();
  version2_ = update;
  RunChild(0);
  const ByteString result = testsupport::ReadHostFile(temp_ / "points.txt");
  ASSERT_EQ(result.rfind("done ", 0), 0u) << result;
  EXPECT_TRUE(Snapshot() == afterFullSetup);
  const uint64_t changes = std::stoull(result.substr(5));
  for (uint64_t killAt = 1; killAt <= changes; ++killAt) {
    RestoreMachine();
    RunChild(killAt);
    ResetRunJournal();
    RecoverUnfinishedRun();
    const ByteString now = Snapshot();
    EXPECT_TRUE(now == before || now == afterFullSetup) << "killed before change " << killAt << " of " << changes;
  }
}

TEST_F(KilledRun, AnUpdateOverAnythingButItsBaseChangesNothing) {
  const PackageParts base = Version("2.5", Program(0), "info", false);
  const ByteString update = Update(base, Version("2.6", Program(40), "info 2.6", true));
  MakeEntriesKey();
  SaveMachine();  // nothing installed
  const ByteString empty = Snapshot();
  const auto refused = [&](const char* why, bool fileFault) {
    SCOPED_TRACE(why);
    const ByteString machine = Snapshot();
    ResetEngineValues();
    ResetOwnSections();
    UsePackageFile(update);
    ASSERT_TRUE(RunSetupScript(true));
    const ByteString problem = CheckBeforeInstall().notOverBase;
    EXPECT_NE(problem.find(why), ByteString::npos) << problem;
    // A file's fault stops the run at its line, too, and the run is undone.
    if (fileFault) {
      EXPECT_FALSE(RunSetupScript(false));
    }
    EXPECT_TRUE(Snapshot() == machine);
    ResetRunJournal();
  };
  refused("version 2.5 is not installed", false);
  Install(BuildPackage("MZ stub", Version("2.4", Program(0), "info", false)));
  refused("version 2.4 is installed, the update is for 2.5", false);
  RestoreMachine();
  ASSERT_TRUE(Snapshot() == empty);
  Install(BuildPackage("MZ stub", base));
  WriteProductSetting("Ver", "2.4");  // the product's own record, once it has run
  refused("version 2.4 is installed, the update is for 2.5", false);
  RestoreMachine();
  Install(BuildPackage("MZ stub", base));
  testsupport::WriteHostFile(Host("C:\\Q\\Quillon.exe"), Program(0) + "repaired by a scanner");
  refused("C:\\Q\\Quillon.exe differs from the version the update was made for", true);
  std::filesystem::remove(Host("C:\\Q\\Quillon.exe"));
  refused("C:\\Q\\Quillon.exe is missing", true);
}

}  // namespace
}  // namespace enginetest
