// Product settings in the registry, the "path" action and the check for a
// newer installed version, against the fakes.
#include "engine/EngineErrors.h"
#include "engine/ProductSettings.h"
#include "engine/ScriptCommands.h"
#include "tests/unit/engine/EngineFixture.h"

namespace enginetest {
namespace {

using platform::Hive;

const char* const kKey = "SOFTWARE\\Quillon";

class ProductSettings : public EngineTest {
protected:
  void Path(const ByteString& line) { EXPECT_TRUE(PathAction(SplitCommandItems(line))); }
};

TEST_F(ProductSettings, ReadFromTheMachineWriteMachineFirst) {
  EXPECT_EQ(ReadProductSetting("Exec"), "");  // no key yet
  RegistryKey = kKey;
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "Exec", "machine");
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "Ver", "machine");
  EXPECT_EQ(ReadProductSetting("Exec"), "machine");
  fakes::SetRegistryString(Hive::CurrentUser, kKey, "Exec", "user");
  fakes::SetRegistryString(Hive::CurrentUser, kKey, "DataPath", "user");
  fakes::SetRegistryString(Hive::CurrentUser, kKey, "Ver", "user");
  fakes::SetRegistryString(Hive::CurrentUser, kKey, "Lang", "user");
  // A run for all users takes what decides where it writes, what it starts
  // and what it replaces from the machine only, with or without the
  // machine's rights (the window hands it to its elevated copy), whatever
  // the user's programs put in the user's hive; other settings come from
  // the user first.
  for (const bool machineRights : {true, false}) {
    fakes::SetRegistryWriteRefused(Hive::LocalMachine, !machineRights);
    EXPECT_EQ(ReadProductSetting("EXEC"), "machine");
    EXPECT_EQ(ReadProductSetting("DataPath"), "");
    EXPECT_EQ(ReadProductSetting("Ver"), "machine");
    EXPECT_EQ(ReadProductSetting("Lang"), "user");
  }
  fakes::SetRegistryWriteRefused(Hive::LocalMachine, false);
  EXPECT_EQ(ReadProductSetting(""), "");

  WriteProductSetting("DataPath", "C:\\D\\");
  EXPECT_EQ(fakes::RegistryValueData(Hive::LocalMachine, kKey, "DataPath"), "C:\\D\\");
  EXPECT_EQ(fakes::RegistryValueData(Hive::CurrentUser, kKey, "DataPath"), "user");
  // Without rights on the machine the user's hive takes it; without both, nothing.
  fakes::SetRegistryWriteRefused(Hive::LocalMachine, true);
  WriteProductSetting("DataPath", "C:\\E\\");
  EXPECT_EQ(fakes::RegistryValueData(Hive::CurrentUser, kKey, "DataPath"), "C:\\E\\");
  EXPECT_EQ(fakes::RegistryValueData(Hive::LocalMachine, kKey, "DataPath"), "C:\\D\\");
  fakes::SetRegistryWriteRefused(Hive::CurrentUser, true);
  WriteProductSetting("Other", "x");
  EXPECT_EQ(ReadProductSetting("Other"), "");
  EXPECT_EQ(fakes::OpenRegistryHandles(), 0);

  RegistryKey.clear();
  fakes::SetRegistryWriteRefused(Hive::LocalMachine, false);
  WriteProductSetting("Exec", "x");
  EXPECT_FALSE(fakes::RegistryKeyExists(Hive::LocalMachine, "SOFTWARE\\Quillon\\Exec"));
}

TEST_F(ProductSettings, WrongValueTypeRaises) {
  RegistryKey = kKey;
  fakes::SetRegistryDword(Hive::LocalMachine, kKey, "Ver", 3);
  try {
    ReadProductSetting("Ver");
    ADD_FAILURE() << "no registry error";
  } catch (const ERegistryError& error) {
    EXPECT_STREQ(error.what(), "Ung\xFCltiger Datentyp f\xFCr 'Ver'");
  }
  EXPECT_EQ(fakes::OpenRegistryHandles(), 0);
  fakes::SetRegistryValue(Hive::LocalMachine, kKey, "Exec", platform::kRegExpandSz,
                          ByteString("C:\\Q\\Q.exe\0junk", 15));
  EXPECT_EQ(ReadProductSetting("Exec"), "C:\\Q\\Q.exe");
}

TEST_F(ProductSettings, PathActionFillsTheSettings) {
  fakes::SetRegistryString(Hive::LocalMachine,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                           "C:\\Program Files");
  Path("action=path,Registry=Quillon,Version=2.5,Lng=deutsch,PgmPath=*Programs*\\Quillon,"
       "DataPath=*PgmPath*Data,MyStartMenu=*StartMenu*\\Quillon");
  EXPECT_EQ(RegistryKey, "SOFTWARE\\Quillon");
  EXPECT_EQ(Version, "2.5");
  EXPECT_EQ(Lng, "deu");
  EXPECT_EQ(PgmPath, "C:\\Program Files\\Quillon\\");
  EXPECT_EQ(DataPath, "C:\\Program Files\\Quillon\\Data\\");
  EXPECT_EQ(MyStartMenu, "\\Quillon\\");  // no start menu folder on this "system"
  EXPECT_EQ(ErrorText, "");

  // A second command replaces the key, keeps the folders and the language.
  Path("action=path,Registry=Other,Lng=FR,PgmPath=C:\\Elsewhere");
  EXPECT_EQ(RegistryKey, "SOFTWARE\\Other");
  EXPECT_EQ(Lng, "deu");
  EXPECT_EQ(PgmPath, "C:\\Program Files\\Quillon\\");
}

TEST_F(ProductSettings, EarlierInstallationWins) {
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "Exec", "D:\\Tools\\Quillon\\Quillon.exe");
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "DataPath", "D:\\QData");
  // Put there by a program of the user: the elevated run never writes there.
  fakes::SetRegistryString(Hive::CurrentUser, kKey, "Exec", "C:\\Users\\Public\\Q\\Quillon.exe");
  fakes::SetRegistryString(Hive::CurrentUser, kKey, "DataPath", "C:\\Windows\\System32");
  Path("action=path,Registry=Quillon,PgmPath=C:\\Default,DataPath=C:\\DefaultData");
  EXPECT_EQ(PgmPath, "D:\\Tools\\Quillon\\");
  EXPECT_EQ(DataPath, "D:\\QData");  // as stored

  // An "Exec" without backslash gives no folder.
  ResetEngineValues();
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "Exec", "Quillon.exe");
  Path("action=path,Registry=Quillon,PgmPath=C:\\Default");
  EXPECT_EQ(PgmPath, "C:\\Default\\");
}

// The script's data folder follows the program folder the user chose; a
// registered one stays where the earlier installation put it.
TEST_F(ProductSettings, ScriptDataFolderFollowsTheChosenProgramFolder) {
  const char* line = "action=path,Registry=Quillon,PgmPath=C:\\Default,DataPath=*PgmPath*\\Daten";
  Path(line);
  EXPECT_EQ(DataPath, "C:\\Default\\Daten\\");
  PgmPath = "D:\\Apps\\Quillon\\";
  FollowChosenProgramFolder();
  Path(line);  // the full run's "path" line
  EXPECT_EQ(DataPath, "D:\\Apps\\Quillon\\Daten\\");

  ResetEngineValues();
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "DataPath", "E:\\QData");
  Path(line);
  PgmPath = "D:\\Apps\\Quillon\\";
  FollowChosenProgramFolder();
  Path(line);
  EXPECT_EQ(DataPath, "E:\\QData");
}

TEST_F(ProductSettings, ExcludedFolders) {
  fakes::SetRegistryString(Hive::CurrentUser, kKey, "Exec", "C:\\Sources\\Quillon\\Quillon.exe");
  fakes::SetRegistryString(Hive::CurrentUser, kKey, "DataPath", "C:\\Sources\\Data\\");
  Path("action=path,Registry=Quillon,PgmPath=C:\\Q,DataPath=C:\\QD");
  EXPECT_EQ(PgmPath, "C:\\Q\\");
  EXPECT_EQ(DataPath, "C:\\QD\\");

  ResetEngineValues();
  PgmPath = "s:\\APPS\\Quillon\\";
  DataPath = "s:\\APPS\\Data\\";
  Path("action=path");
  EXPECT_EQ(PgmPath, "");
  EXPECT_EQ(DataPath, "");

  // Only at the start.
  PgmPath = "d:\\c:\\sources\\";
  Path("action=path,PgmPath=C:\\Q");
  EXPECT_EQ(PgmPath, "d:\\c:\\sources\\");
}

struct VersionCase {
  const char* installed;
  const char* setup;
  bool newer;
};

class NewerVersion : public EngineTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(NewerVersion, ComparesPaddedVersions) {
  ASSERT_TRUE(testsupport::MakeHostFolders(Host("C:\\Quillon")));
  ASSERT_TRUE(testsupport::WriteHostFile(Host("C:\\Quillon\\Quillon.exe"), "MZ"));
  RegistryKey = kKey;
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "Exec", "C:\\Quillon\\Quillon.exe");
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "Ver", GetParam().installed);
  Version = GetParam().setup;
  EXPECT_EQ(NewerVersionInstalled(), GetParam().newer)
      << GetParam().installed << " against " << GetParam().setup;
}

INSTANTIATE_TEST_SUITE_P(Examples, NewerVersion,
                         ::testing::Values(VersionCase{"2.10", "2.5", false},
                                           VersionCase{"10.1", "9.9", true},
                                           VersionCase{"3", "2.5", false},
                                           VersionCase{"2.5-1", "2.5", false},
                                           VersionCase{"2.3d", "2.3c", true},
                                           VersionCase{"2.10", "2.3c", false},
                                           VersionCase{"2.5", "2.5", false},
                                           VersionCase{"2.6", "2.5-1", false},
                                           VersionCase{"2.6-1", "2.5-1", true},
                                           VersionCase{"3", "2", true},
                                           VersionCase{"", "2.5", false},
                                           VersionCase{"3.0", "", false}));

TEST_F(ProductSettings, NewerVersionNeedsTheInstalledFile) {
  RegistryKey = kKey;
  Version = "1.0";
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "Ver", "9.0");
  EXPECT_FALSE(NewerVersionInstalled());  // no "Exec"
  fakes::SetRegistryString(Hive::LocalMachine, kKey, "Exec", "C:\\Gone\\Quillon.exe");
  EXPECT_FALSE(NewerVersionInstalled());
  ASSERT_TRUE(testsupport::MakeHostFolders(Host("C:\\Gone\\Quillon.exe")));  // a folder
  EXPECT_FALSE(NewerVersionInstalled());
  fakes::SetRegistryDword(Hive::LocalMachine, kKey, "Ver", 9);
  EXPECT_THROW(NewerVersionInstalled(), ERegistryError);
}

}  // namespace
}  // namespace enginetest
