#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/ShellActions.h"
#include "platform/Shell.h"
#include "tests/support/common/TempFolder.h"

namespace fs = std::filesystem;
extern "C" __declspec(dllimport) BOOL WINAPI SetShellWindow(HWND);  // user32; not in every SDK

namespace {

class ActionsWin32 : public ::testing::Test {
protected:
  void SetUp() override {
    ResetEngineValues();
    folder_ = temp_.Path();
  }
  void TearDown() override { ResetEngineValues(); }

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

// The shell's own answer, asked directly.
ByteString ShellsFolder(int csidl) {
  char path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)) ? ByteString(path) : ByteString();
}

// The program data and program folders are read from the machine's
// registry, without loading the shell, and answer as the shell does; the
// system drive in the program data's value is the system's, never the
// environment's.
TEST_F(ActionsWin32, MachineFoldersAnswerAsTheShellDoes) {
  for (const int csidl : {platform::kCsidlCommonAppData, platform::kCsidlProgramFiles, platform::kCsidlProgramFilesX86})
    EXPECT_EQ(platform::SpecialFolder(0, csidl), ShellsFolder(csidl)) << csidl;

  const char* const kProfiles = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfiles, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key), ERROR_SUCCESS);
  char original[MAX_PATH] = {};
  DWORD size = sizeof original, type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "ProgramData", nullptr, &type, reinterpret_cast<BYTE*>(original), &size),
            ERROR_SUCCESS);
  const auto plant = [&](const char* value) {
    RegSetValueExA(key, "ProgramData", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(strlen(value) + 1));
    return platform::SpecialFolder(0, platform::kCsidlCommonAppData);
  };
  const ByteString elsewhere = folder_ + "\\elsewhere";
  fs::create_directories(elsewhere);
  EXPECT_EQ(plant(elsewhere.c_str()), elsewhere);
  EXPECT_EQ(ShellsFolder(platform::kCsidlCommonAppData), elsewhere);
  char drive[MAX_PATH] = {};
  GetEnvironmentVariableA("SystemDrive", drive, sizeof drive);
  SetEnvironmentVariableA("SystemDrive", "Q:");
  EXPECT_EQ(plant("%SystemDrive%\\ProgramData\\"), "C:\\ProgramData");
  SetEnvironmentVariableA("SystemDrive", drive);
  RegSetValueExA(key, "ProgramData", 0, type, reinterpret_cast<const BYTE*>(original), size);
  RegCloseKey(key);
}

// Waits (up to a minute) for the record of the recorder started by
// RunProgram, which appears complete, and answers what it holds.
ByteString AwaitRecord(const ByteString& file) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!fs::exists(file) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Wine's desktop has no shell, and Wine runs every program elevated: the
// test process stands in for the desktop's shell, whose children the
// setup's programs become.
void BecomeTheDesktopShell() {
  static const HWND shell = [] {
    const HWND window = CreateWindowExA(0, "STATIC", "shell", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    SetShellWindow(window);
    return window;
  }();
  ASSERT_EQ(GetShellWindow(), shell);
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
  // Elevated, without a desktop shell: never started with the setup's rights.
  if (!GetShellWindow()) {
    EXPECT_TRUE(RunProgram());
    EXPECT_EQ(Refusals, std::vector<ByteString>{"not started: " + Exec + " (no desktop user to start it as)"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(fs::exists(record));
  }
  BecomeTheDesktopShell();
  EXPECT_TRUE(RunProgram());
  // Quoted all the same, and started in its own folder, not the setup's.
  EXPECT_EQ(AwaitRecord(record), Exec + "\n\"" + Exec + "\" /first \"second one\"\n" + folder_ + "\n");
}

TEST_F(ActionsWin32, RunProgramQuotesAFolderWithBlanks) {
  const ByteString record = folder_ + "\\record.txt";
  SetEnvironmentVariableA("Q_RECORD_FILE", record.c_str());
  fs::create_directories(folder_ + "\\Program Files\\Quillon");
  fs::copy_file(RecorderPath(), folder_ + "\\Program Files\\Quillon\\Quillon.exe");
  // The program an unquoted command line would start instead.
  fs::copy_file(RecorderPath(), folder_ + "\\Program.exe");
  Exec = folder_ + "\\Program Files\\Quillon\\Quillon.exe";
  BecomeTheDesktopShell();
  EXPECT_TRUE(RunProgram());
  EXPECT_EQ(AwaitRecord(record), Exec + "\n\"" + Exec + "\"\n" + folder_ + "\\Program Files\\Quillon\n");
}

}  // namespace
