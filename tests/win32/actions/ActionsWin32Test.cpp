#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/SLUnit.h"
#include "engine/EngineValues.h"
#include "engine/FileExtraction.h"
#include "engine/ShellActions.h"
#include "engine/Uninstaller.h"
#include "package/SelfLoadSectionsUnit.h"
#include "platform/Shell.h"
#include "tests/support/common/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const char* const kRoot = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class ActionsWin32 : public ::testing::Test {
protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  static void TearDownTestSuite() { CoUninitialize(); }
  void SetUp() override {
    ResetEngineValues();
    ResetOwnSections();
    SetOwnFilePathForTests("");
    folder_ = temp_.Path();
  }
  void TearDown() override {
    ResetOwnSections();
    SetOwnFilePathForTests("");
    ResetEngineValues();
  }

  static ByteString ReadFileBytes(const ByteString& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  static ByteString RegString(const ByteString& key, const char* name) {
    char buffer[1024] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<no key>";
    const LONG result = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return "<none>";
    if (type == REG_DWORD) return "dword:" + std::to_string(*reinterpret_cast<DWORD*>(buffer));
    return ByteString(buffer);
  }
  static bool KeyExists(const ByteString& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
  }

  testsupport::TempFolder temp_;
  ByteString folder_;
};

TEST_F(ActionsWin32, SpecialFoldersComeFromTheShell) {
  const ByteString desktop = platform::SpecialFolder(0, platform::kCsidlCommonDesktop);
  const ByteString programs = platform::SpecialFolder(0, platform::kCsidlCommonPrograms);
  ASSERT_FALSE(desktop.empty());
  EXPECT_TRUE(fs::is_directory(desktop)) << desktop;
  EXPECT_NE(programs, desktop);
  EXPECT_EQ(platform::SpecialFolder(0, 0x7777), "");  // no such folder
}

TEST_F(ActionsWin32, ShellLinkIsReadableWithItsSettings) {
  const ByteString links = folder_ + "\\Start Menu\\";
  CreateShellLink("C:\\windows\\notepad.exe", "-x \"a b\"", links, true, "Note Pad");
  const ByteString recorded = links + "\\Note Pad.lnk";
  ASSERT_EQ(WrittenFiles->Count(), 1);
  EXPECT_EQ(WrittenFiles->ItemText(0), recorded);
  ASSERT_TRUE(fs::is_regular_file(links + "Note Pad.lnk"));

  IShellLinkA* link = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                            reinterpret_cast<void**>(&link)));
  IPersistFile* file = nullptr;
  ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
  const std::wstring wide(recorded.begin(), recorded.end());
  ASSERT_HRESULT_SUCCEEDED(file->Load(wide.c_str(), STGM_READ));
  char text[MAX_PATH] = {};
  link->GetPath(text, MAX_PATH, nullptr, 0);
  EXPECT_STRCASEEQ(text, "C:\\windows\\notepad.exe");
  link->GetArguments(text, MAX_PATH);
  EXPECT_STREQ(text, "-x \"a b\"");
  link->GetWorkingDirectory(text, MAX_PATH);
  EXPECT_STRCASEEQ(text, "C:\\windows\\");
  file->Release();
  link->Release();

  // The uninstaller deletes the link by the recorded, doubled-backslash path.
  EXPECT_TRUE(DeleteFileA(recorded.c_str()));
  EXPECT_FALSE(fs::exists(links + "Note Pad.lnk"));
}

TEST_F(ActionsWin32, DesktopIniMakesTheFolderASystemFolder) {
  ASSERT_TRUE(platform::HasPathMakeSystemFolder());  // shlwapi is loaded with the shell
  const ByteString decorated = folder_ + "\\Deco\\";
  fs::create_directories(decorated);
  WriteDesktopIni(decorated, "C:\\Prog\\Quillon.ico");
  const ByteString ini = decorated + "Desktop.ini";
  EXPECT_EQ(ReadFileBytes(ini), "[.ShellClassInfo]\r\nIconFile=C:\\Prog\\Quillon.ico\r\nIconIndex=0\r\n");
  const DWORD attributes = GetFileAttributesA(ini.c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  const DWORD folderAttributes = GetFileAttributesA((folder_ + "\\Deco").c_str());
  EXPECT_NE(folderAttributes & (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY), 0u);
  EXPECT_EQ(WrittenFiles->ItemText(0), ini);
  SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesA((folder_ + "\\Deco").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ActionsWin32, UnwritableFileIsAWriteError) {
  const ByteString path = folder_ + "\\in the way";
  fs::create_directories(path);
  EXPECT_FALSE(WriteWholeFile(path, "new"));
  EXPECT_TRUE(WriteWholeFile(path + "\\file.txt", "new"));
  EXPECT_EQ(ErrorText, "Write Error: " + path + "; ");
  EXPECT_EQ(WrittenFiles->Count(), 1);
  EXPECT_TRUE(fs::is_directory(path));
}

// Waits for the recorder started by RunProgram and answers what it wrote.
ByteString AwaitRecord(const ByteString& file) {
  for (int i = 0; i < 300 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

ByteString RecorderPath() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, sizeof self);
  return (fs::path(self).parent_path() / "record_args.exe").string();
}

TEST_F(ActionsWin32, RunProgramStartsExecWithItsParameters) {
  const ByteString record = folder_ + "\\record.txt";
  SetEnvironmentVariableA("Q_RECORD_FILE", record.c_str());
  fs::copy_file(RecorderPath(), folder_ + "\\rec.exe");
  Exec = folder_ + "\\rec.exe";
  ExecParams = "/first \"second one\"";
  ASSERT_EQ(Exec.find(' '), ByteString::npos);
  EXPECT_TRUE(RunProgram());
  EXPECT_EQ(AwaitRecord(record), Exec + "\n" + Exec + " /first \"second one\"\n");
}

TEST_F(ActionsWin32, RunProgramQuotesAFolderWithBlanks) {
  const ByteString record = folder_ + "\\record.txt";
  SetEnvironmentVariableA("Q_RECORD_FILE", record.c_str());
  fs::create_directories(folder_ + "\\Program Files\\Quillon");
  fs::copy_file(RecorderPath(), folder_ + "\\Program Files\\Quillon\\Quillon.exe");
  // The program an unquoted command line would start instead.
  fs::copy_file(RecorderPath(), folder_ + "\\Program.exe");
  Exec = folder_ + "\\Program Files\\Quillon\\Quillon.exe";
  EXPECT_TRUE(RunProgram());
  EXPECT_EQ(AwaitRecord(record), Exec + "\n\"" + Exec + "\"\n");
}

// A whole round: registration, the uninstaller, and the uninstall run it
// starts, against the real registry and files.
TEST_F(ActionsWin32, RegisterWriteAndRunTheUninstaller) {
  const ByteString setup = folder_ + "\\Setup.exe";
  {
    std::ofstream out(setup, std::ios::binary);
    out << "MZ stub" << BuildSection(kSectionBeginningMark, "") << BuildSection(kSectionSetupCmd, "x");
  }
  SetOwnFilePathForTests(setup);
  PgmPath = folder_ + "\\Quillon Act\\";
  Exec = PgmPath + "Quillon.exe";
  ASSERT_TRUE(WriteWholeFile(Exec, "exe"));
  ASSERT_TRUE(WriteWholeFile(PgmPath + "Data\\notes.QDA", "kept"));
  ASSERT_TRUE(RegisterUninstall(SplitCommandItems("action=uninst,name=QuillonWin32Test,Publisher=Quill")));

  const ByteString key = UninstallValues->ValueOf("UninstallKey");
  ASSERT_EQ(key.rfind("QuillonWin32Test ", 0), 0u);
  const ByteString entry = ByteString(kRoot) + "\\" + key;
  EXPECT_EQ(RegString(entry, "UninstallString"),
            "\"" + PgmPath + "uninstall.exe\" /uninst \"UninstallKey=" + key + "\"");
  EXPECT_EQ(RegString(entry, "DisplayName").rfind("QuillonWin32Test (Installation ", 0), 0u);
  EXPECT_EQ(RegString(entry, "Publisher"), "Quill");
  EXPECT_EQ(RegString(entry, "NoModify"), "dword:1");
  EXPECT_EQ(RegString(entry, "NoRepair"), "dword:1");
  EXPECT_EQ(RegString(entry, "HelpLink"), "<none>");
  CreateUninstaller();
  ASSERT_TRUE(fs::is_regular_file(PgmPath + "uninstall.exe"));

  // Run as that uninstaller.
  ResetOwnSections();
  SetOwnFilePathForTests(PgmPath + "uninstall.exe");
  ParamList->Clear();
  RunUninstall();
  EXPECT_FALSE(KeyExists(entry));
  EXPECT_TRUE(KeyExists(kRoot));
  EXPECT_FALSE(fs::exists(Exec));
  EXPECT_TRUE(fs::exists(PgmPath + "Data\\notes.QDA"));
  EXPECT_EQ(ErrorText, "");
}

}  // namespace
