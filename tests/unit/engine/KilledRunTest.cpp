// An upgrade killed at every single change it makes (a child process ends
// itself there, leaving its files and its registry as a kill would), then
// the next start's recovery: the machine is always either as before the run
// or as after a complete one.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "UpdateBuilder.h"
#include "engine/ErrorList.h"
#include "engine/InstallChecks.h"
#include "engine/ProductSettings.h"
#include "engine/Uninstaller.h"
#include "engine/RunJournal.h"
#include "engine/ScriptInterpreter.h"
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
  // The files below drive C (the setup's log aside) with their contents, and the registry.
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

  // The package file of the run a child makes.
  ByteString version2_;
  ByteString savedRegistry_;
};

TEST_F(KilledRun, EveryKillPointEndsInTheEarlierOrTheNewInstallation) {
  UsePackage(Version("1.0", "MZ program 1.0", "info 1.0", false));
  ASSERT_TRUE(RunSetupScript(true));
  ASSERT_TRUE(RunSetupScript(false));
  const ByteString before = Snapshot();
  SaveMachine();

  // A complete upgrade, counting its changes.
  version2_ = BuildPackage("MZ stub", Version("2.0", "MZ program 2.0, longer", "info 2.0", true));
  RunChild(0);
  const ByteString result = testsupport::ReadHostFile(temp_ / "points.txt");
  ASSERT_EQ(result.rfind("done ", 0), 0u) << result;
  const uint64_t changes = std::stoull(result.substr(5));
  const ByteString after = Snapshot();
  ASSERT_NE(before, after);
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\Q\\new.txt")), "new in 2.0");
  EXPECT_FALSE(UnfinishedRunJournal());
  ASSERT_GT(changes, 30u);

  int earlier = 0, newer = 0;
  for (uint64_t killAt = 1; killAt <= changes; ++killAt) {
    RestoreMachine();
    RunChild(killAt);
    ResetRunJournal();
    RecoverUnfinishedRun();
    const ByteString now = Snapshot();
    if (now == before) ++earlier;
    else if (now == after) ++newer;
    else ADD_FAILURE() << "killed before change " << killAt << " of " << changes << ": neither state";
    EXPECT_FALSE(UnfinishedRunJournal());
  }
  // The kills before the commit entry give back the earlier installation,
  // those after it the new one.
  EXPECT_GT(earlier, 10);
  EXPECT_GT(newer, 0);
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
