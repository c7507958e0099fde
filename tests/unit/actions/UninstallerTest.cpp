#include "ActionsFixture.h"
#include "engine/InstalledFiles.h"
#include "engine/ScriptCommands.h"
#include "engine/ShellActions.h"
#include "engine/Uninstaller.h"
#include "package/ProgramImage.h"
#include "package/ZLibHelpers.h"
#include "tests/support/common/TinyImage.h"

namespace {

using platform::Hive;

const ByteString kRoot = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const ByteString kStub = ByteString("MZ stub \0\x01 image", 17);
const ByteString kKey = "Quillon 2024-01-02 03.04.05";  // the fake's clock

class UninstallerTest : public ActionsTest {
protected:
  void SetUp() override {
    ActionsTest::SetUp();
    PgmPath = "C:\\Prog\\";
    // The running setup: stub part and its sections.
    Write("C:\\Setup\\Setup.exe", kStub + BuildSection(kSectionBeginningMark, "") +
                                      BuildSection(kSectionSetupCmd, "script"));
    fakes::CreateRegistryKey(Hive::LocalMachine, kRoot);
  }
  bool Uninst(const ByteString& line) { return RegisterUninstall(SplitCommandItems(line)); }
  ByteString Value(const ByteString& key, const ByteString& name) {
    return fakes::RegistryValueData(Hive::LocalMachine, kRoot + "\\" + key, name);
  }
  bool KeyExists(const ByteString& key) { return fakes::RegistryKeyExists(Hive::LocalMachine, kRoot + "\\" + key); }
  static ByteString Dword(uint32_t v) { return ByteString(reinterpret_cast<const char*>(&v), 4); }
};

TEST_F(UninstallerTest, RegistersTheProductWithDefaults) {
  Exec = "C:\\Prog\\Quillon.exe";
  EXPECT_TRUE(Uninst("action=uninst"));

  EXPECT_EQ(UninstallerPath, "C:\\Prog\\uninstall.exe");
  EXPECT_EQ(Read("C:\\Prog\\uninstall.exe"), kStub);  // the placeholder
  EXPECT_EQ(Entries(*WrittenFiles), (std::vector<ByteString>{"C:\\Prog\\uninstall.exe"}));
  const ByteString key = "Quillon.exe 2024-01-02 03.04.05";
  EXPECT_EQ(Entries(*UninstallValues), (std::vector<ByteString>{"UninstallKey=" + key}));
  // Listed only once the uninstaller that removes the installation is complete.
  EXPECT_FALSE(KeyExists(key));
  ASSERT_TRUE(CreateUninstaller());
  EXPECT_EQ(Value(key, "DisplayName"), "Quillon.exe (Installation 02.01.2024)");
  EXPECT_EQ(Value(key, "UninstallString"), "C:\\Prog\\uninstall.exe /uninst \"UninstallKey=" + key + "\"");
  uint32_t type = 0;
  ByteString data;
  ASSERT_TRUE(fakes::GetRegistryValue(Hive::LocalMachine, kRoot + "\\" + key, "NoModify", type, data));
  EXPECT_EQ(type, platform::kRegDword);
  EXPECT_EQ(data, Dword(1));
  EXPECT_EQ(Value(key, "NoRepair"), Dword(1));
  for (const char* name : {"Publisher", "URLInfoAbout", "HelpLink", "URLUpdateInfo", "RegOwner", "Readme"})
    EXPECT_FALSE(fakes::GetRegistryValue(Hive::LocalMachine, kRoot + "\\" + key, name, type, data)) << name;
  EXPECT_EQ(fakes::OpenRegistryHandles(), 0);
}

TEST_F(UninstallerTest, ReadmeOnlyWhenTheFileExists) {
  Write("C:\\Prog\\Liesmich.txt", "readme");
  EXPECT_TRUE(Uninst("action=uninst,name=Quillon,Readme=*PgmPath*\\Liesmich.txt"));
  EXPECT_TRUE(Uninst("action=uninst,name=Other,Readme=C:\\nowhere.txt"));
  CreateUninstaller();  // the entries of both lines
  EXPECT_EQ(Value(kKey, "Readme"), "C:\\Prog\\Liesmich.txt");
  uint32_t type = 0;
  ByteString data;
  EXPECT_FALSE(fakes::GetRegistryValue(Hive::LocalMachine, kRoot + "\\Other 2024-01-02 03.04.05", "Readme",
                                       type, data));
}

TEST_F(UninstallerTest, SecondInstallIntoSamePlaceReusesTheEntry) {
  const ByteString command = "C:\\Prog\\uninstall.exe /uninst \"UninstallKey=old\"";
  fakes::SetRegistryString(Hive::LocalMachine, kRoot + "\\Quillon 2020-05-06 07.08.09", "UninstallString", command);
  fakes::SetRegistryString(Hive::LocalMachine, kRoot + "\\Quillon 2021-05-06 07.08.09", "UninstallString", command);
  fakes::CreateRegistryKey(Hive::LocalMachine, kRoot + "\\Quillon 2021-05-06 07.08.09\\Sub\\Deeper");
  fakes::SetRegistryString(Hive::LocalMachine, kRoot + "\\Quillon 2022-01-01 00.00.00", "UninstallString",
                           "C:\\Elsewhere\\uninstall.exe /uninst");
  fakes::SetRegistryString(Hive::LocalMachine, kRoot + "\\QuillonPro 2020-01-01 00.00.00", "UninstallString", command);
  fakes::SetRegistryString(Hive::LocalMachine, kRoot + "\\quillon 2020-01-01 00.00.00x", "UninstallString", command);

  EXPECT_TRUE(Uninst("action=uninst,name=Quillon"));
  const ByteString reused = "Quillon 2020-05-06 07.08.09";
  EXPECT_EQ(Entries(*UninstallValues), (std::vector<ByteString>{"UninstallKey=" + reused}));
  CreateUninstaller();

  EXPECT_EQ(Value(reused, "DisplayName"), "Quillon (Installation 02.01.2024)");
  // The command line names the new key; the information names the reused one.
  EXPECT_EQ(Value(reused, "UninstallString"), "C:\\Prog\\uninstall.exe /uninst \"UninstallKey=" + kKey + "\"");
  EXPECT_FALSE(KeyExists(kKey));
  EXPECT_FALSE(KeyExists("Quillon 2021-05-06 07.08.09"));  // the duplicate, with its subkeys
  EXPECT_TRUE(KeyExists("Quillon 2022-01-01 00.00.00"));   // another place
  EXPECT_TRUE(KeyExists("QuillonPro 2020-01-01 00.00.00"));  // no blank after the name
  EXPECT_EQ(fakes::OpenRegistryHandles(), 0);
}

TEST_F(UninstallerTest, StopsQuietlyWhereItCannotGoOn) {
  // No product name: placeholder only.
  EXPECT_TRUE(Uninst("action=uninst"));
  EXPECT_EQ(Read("C:\\Prog\\uninstall.exe"), kStub);
  EXPECT_EQ(UninstallValues->Count(), 0);

  // No rights below HKEY_LOCAL_MACHINE: no entry, no other hive.
  fakes::SetRegistryWriteRefused(Hive::LocalMachine, true);
  EXPECT_TRUE(Uninst("action=uninst,name=Quillon"));
  fakes::SetRegistryWriteRefused(Hive::LocalMachine, false);
  EXPECT_FALSE(KeyExists(kKey));
  EXPECT_EQ(UninstallValues->Count(), 0);

  // An existing uninstaller is not replaced by the placeholder nor listed.
  WrittenFiles->Clear();
  Write("C:\\Other\\uninstall.exe", "earlier uninstaller");
  EXPECT_TRUE(Uninst("action=uninst,pgm=C:\\Other\\uninstall.exe,name=Quillon"));
  EXPECT_EQ(Read("C:\\Other\\uninstall.exe"), "earlier uninstaller");
  EXPECT_EQ(WrittenFiles->Count(), 0);
  EXPECT_EQ(ErrorText, "");
}

TEST_F(UninstallerTest, WithoutOwnSectionsNothingHappens) {
  fakes::SetModuleFileName("C:\\Setup\\missing.exe");
  EXPECT_TRUE(Uninst("action=uninst,name=Quillon"));
  EXPECT_EQ(UninstallerPath, "");
  EXPECT_FALSE(KeyExists(kKey));
  CreateUninstaller();
  EXPECT_EQ(WrittenFiles->Count(), 0);
}

TEST_F(UninstallerTest, UninstallerCarriesItsSections) {
  EXPECT_TRUE(Uninst("action=uninst,name=Quillon"));
  ASSERT_TRUE(WriteWholeFile("C:\\Prog\\sub\\b.txt", "b"));
  ASSERT_TRUE(WriteWholeFile("C:\\Prog\\a.txt", "a"));
  Lng = "EN";
  LngData = ByteString("\xFF\xFE" "E\0N\0", 6);
  CreateUninstaller();

  const ByteString file = Read("C:\\Prog\\uninstall.exe");
  ASSERT_EQ(file.compare(0, kStub.size(), kStub), 0);
  const std::string_view sections = std::string_view(file).substr(kStub.size());
  std::string_view payload;
  EXPECT_EQ(sections.substr(0, MakeSectionMarker(kSectionBeginningMark).size()),
            MakeSectionMarker(kSectionBeginningMark));
  ASSERT_TRUE(ReadSectionIn(kSectionSetupLng, sections, payload));
  EXPECT_EQ(payload, LngData);
  EXPECT_FALSE(ReadSectionIn(kSectionSetupCmd, sections, payload));
  ASSERT_TRUE(ReadSectionIn(kSectionUninst, sections, payload));
  EXPECT_EQ(static_cast<unsigned char>(payload[1]), 0x9C);  // zlib's default level
  EXPECT_EQ(DecompressBytes(payload),
            "UninstallKey=" + kKey + "\r\nLng=EN\r\nPgmPath=C:\\Prog\\\r\n"
            "file=C:\\Prog\\uninstall.exe\r\nfile=C:\\Prog\\sub\\b.txt\r\nfile=C:\\Prog\\a.txt\r\n"
            "dir=C:\\Prog\\sub\r\ndir=C:\\Prog\r\n");
  // The final write is recorded once more, after the information was built.
  EXPECT_EQ(WrittenFiles->ItemText(WrittenFiles->Count() - 1), "C:\\Prog\\uninstall.exe");
}

// Over an installation whose uninstall information cannot be read, the new
// information alone must name everything that stands there of this run:
// the uninstaller it replaced in place, its folder, and the Desktop.ini it
// could not replace.
TEST_F(UninstallerTest, OverUnreadableEarlierInformationItListsItselfAndItsFolder) {
  fakes::SetRegistryString(Hive::LocalMachine, kRoot + "\\Quillon 2020-05-06 07.08.09", "UninstallString",
                           "C:\\Prog\\uninstall.exe /uninst");
  Write("C:\\Prog\\uninstall.exe", kStub + BuildSection(kSectionUninst, "not zlib"));
  Write("C:\\Prog\\q.ico", "icon");
  Write("C:\\Prog\\Desktop.ini", "earlier");
  ASSERT_TRUE(platform::ChangeFileAttributes("C:\\Prog\\Desktop.ini", platform::kAttrReadOnly));  // not replaceable
  EXPECT_TRUE(Uninst("action=uninst,name=Quillon"));
  WriteDesktopIni("C:\\Prog\\", "C:\\Prog\\q.ico");
  EXPECT_EQ(Read("C:\\Prog\\Desktop.ini"), "earlier");
  ASSERT_TRUE(CreateUninstaller());

  std::string_view payload;
  const ByteString file = Read("C:\\Prog\\uninstall.exe");
  ASSERT_TRUE(ReadSectionIn(kSectionUninst, std::string_view(file).substr(kStub.size()), payload));
  const ByteString info = DecompressBytes(payload);
  EXPECT_EQ(info.substr(info.find("file=")),
            "file=C:\\Prog\\Desktop.ini\r\nfile=C:\\Prog\\uninstall.exe\r\ndir=C:\\Prog\r\n");
}

TEST_F(UninstallerTest, WithoutLanguageDataOnlyTwoSections) {
  EXPECT_TRUE(Uninst("action=uninst,name=Quillon"));
  Lng = "DE";
  UninstallValues->Add("Lng=XX");  // replaced, not added twice
  CreateUninstaller();
  Lng.clear();
  CreateUninstaller();  // an empty Lng drops the line

  const ByteString file = Read("C:\\Prog\\uninstall.exe");
  const std::string_view sections = std::string_view(file).substr(kStub.size());
  std::string_view payload;
  EXPECT_FALSE(ReadSectionIn(kSectionSetupLng, sections, payload));
  ASSERT_TRUE(ReadSectionIn(kSectionUninst, sections, payload));
  EXPECT_EQ(sections.size(), MakeSectionMarker(kSectionBeginningMark).size() + 4 +
                                 MakeSectionMarker(kSectionUninst).size() + 4 + payload.size());
  const ByteString info = DecompressBytes(payload);
  EXPECT_EQ(info.substr(0, info.find("file=")), "UninstallKey=" + kKey + "\r\nPgmPath=C:\\Prog\\\r\n");
}

// What Apps & Features and package managers read: defaults from the run,
// values of the same name on the uninst line win.
TEST_F(UninstallerTest, ListingValuesFromTheRunOrTheLine) {
  Version = "2.5";
  Exec = "C:\\Prog\\Quillon.exe";
  Write("C:\\Prog\\Quillon.exe", std::string(3000, 'q'));
  WrittenFiles->Add("C:\\Prog\\Quillon.exe");
  WrittenFiles->Add("C:\\Prog\\gone.txt");  // vanished since: counts nothing
  EXPECT_TRUE(Uninst("action=uninst,name=Quillon"));
  CreateUninstaller();
  EXPECT_EQ(Value(kKey, "DisplayVersion"), "2.5");
  EXPECT_EQ(Value(kKey, "DisplayIcon"), "C:\\Prog\\Quillon.exe");
  EXPECT_EQ(Value(kKey, "InstallLocation"), "C:\\Prog");
  uint32_t type = 0;
  ByteString data;
  ASSERT_TRUE(fakes::GetRegistryValue(Hive::LocalMachine, kRoot + "\\" + kKey, "EstimatedSize", type, data));
  EXPECT_EQ(type, platform::kRegDword);
  EXPECT_EQ(data, Dword((3000 + kStub.size() + 1023) / 1024));  // the program and the placeholder, rounded up

  Exec.clear();
  EXPECT_TRUE(Uninst("action=uninst,name=Bare,pgm=C:\\Other\\un.exe"));
  CreateUninstaller();
  EXPECT_EQ(Value("Bare 2024-01-02 03.04.05", "DisplayIcon"), "C:\\Other\\un.exe");

  EXPECT_TRUE(Uninst("action=uninst,name=Given,\"DisplayVersion=2.5.1 beta\",\"DisplayIcon=*PgmPath*\\q.ico,0\","
                     "InstallLocation=D:\\Q,EstimatedSize=4096"));
  CreateUninstaller();
  const ByteString given = "Given 2024-01-02 03.04.05";
  EXPECT_EQ(Value(given, "DisplayVersion"), "2.5.1 beta");
  EXPECT_EQ(Value(given, "DisplayIcon"), "C:\\Prog\\q.ico,0");
  EXPECT_EQ(Value(given, "InstallLocation"), "D:\\Q");
  EXPECT_EQ(Value(given, "EstimatedSize"), Dword(4096));
  EXPECT_EQ(fakes::OpenRegistryHandles(), 0);
}

// The uninstaller of a signed setup is the setup's stub part: its header
// still names the certificate table that lay at the end of the setup.
TEST_F(UninstallerTest, UninstallerOfASignedSetupCarriesNoCertificateEntry) {
  const std::string sections = BuildSection(kSectionBeginningMark, "") + BuildSection(kSectionSetupCmd, "script");
  const uint32_t certAt = static_cast<uint32_t>(0x400 + sections.size() + 3);
  const std::string signedStub = testsupport::TinyImage(0xABCD, certAt, 40);
  Write("C:\\Setup\\Setup.exe", signedStub + sections + std::string(3, '\0') + std::string(40, 'S'));
  EXPECT_TRUE(Uninst("action=uninst,name=Quillon"));
  CreateUninstaller();

  const ByteString file = Read("C:\\Prog\\uninstall.exe");
  ImageHeaderFields header;
  ASSERT_TRUE(ReadImageHeader(file, header));
  EXPECT_EQ(header.certOffset, 0u);
  EXPECT_EQ(header.certSize, 0u);
  // The checksum is that of the whole new file, sections included.
  EXPECT_NE(header.checksum, 0xABCDu);
  EXPECT_EQ(header.checksum, ImageChecksum(file, testsupport::kTinyImageChecksumAt));
  // Nothing else of the stub part changed.
  std::string expected = signedStub;
  for (std::size_t at : {testsupport::kTinyImageChecksumAt, testsupport::kTinyImageCertEntryAt,
                         testsupport::kTinyImageCertEntryAt + 4})
    testsupport::PutLe32(expected, at, testsupport::GetLe32(file, at));
  EXPECT_EQ(file.substr(0, 0x400), expected);

  // The stub part of an unsigned setup is copied as it is.
  ResetOwnSections();
  Write("C:\\Setup\\Setup.exe", testsupport::TinyImage(0xABCD) + sections);
  LoadOwnSections();
  CreateUninstaller();
  EXPECT_EQ(Read("C:\\Prog\\uninstall.exe").substr(0, 0x400), testsupport::TinyImage(0xABCD));
}

}  // namespace
