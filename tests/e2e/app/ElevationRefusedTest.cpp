// A silent run for all users without administrator rights, through the
// setup program's own code and the process seam's fake (Wine gives every
// program the rights and asks nobody): when the rights are refused the run
// ends with 7 and its /LOG= file says so; when the elevated copy ran, its
// exit code is the run's and its log, written in a place of its own (the
// user's file is never its parameter), arrives whole. A copy whose own file
// is not the one that was started reads nothing of it and ends with 2. The window's
// install for all users asks for the copy with its choices; refused, a box
// says so and the install question stays.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/SetupTexts.h"
#include "app/StartUp.h"
#include "app/SetupWindow.h"
#include "app/SilentRun.h"
#include "engine/CommandLine.h"
#include "engine/Elevation.h"
#include "engine/EngineValues.h"
#include "engine/SystemFolders.h"
#include "package/Sections.h"
#include "platform/Shell.h"
#include "tests/support/fakes/FakeProcess.h"

namespace fs = std::filesystem;

namespace {

// Runs "Setup.exe /S /LOG=..." as Setup.exe's start does; answers the exit
// code and, in `log`, what the log file holds (empty when none was written).
int SilentRunForAllUsers(std::string& log) {
  const fs::path file = fs::temp_directory_path() / "elevation-refused.log";
  fs::remove(file);
  fakes::SetCommandLine("\"C:\\dl\\Setup.exe\" /S \"/LOG=" + file.string() + "\"");
  ParseCommandLine();
  int code = -1;
  EXPECT_TRUE(RunElevatedInstead(code)) << "a run for all users without the rights is handed over";
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  log = text.str();
  return code;
}

TEST(ElevationRefused, ExitCodeSevenAndTheLogSaysWhy) {
  fakes::ResetProcess();
  fakes::SetAdministratorRights(false);
  fakes::SetElevationOutcome(platform::ElevatedRun::Refused);
  std::string log;
  EXPECT_EQ(SilentRunForAllUsers(log), kExitElevationRefused);
  EXPECT_NE(log.find("Result: 7 "), std::string::npos) << log;
  EXPECT_NE(log.find("administrator rights refused"), std::string::npos) << log;

  // The copy that left no log: this run says so, with the copy's code.
  fakes::SetElevationOutcome(platform::ElevatedRun::Ended, kExitRestartNeeded);
  EXPECT_EQ(SilentRunForAllUsers(log), kExitRestartNeeded);
  EXPECT_NE(log.find("the elevated run's log cannot be read"), std::string::npos) << log;
  EXPECT_NE(log.find("Result: 3010 "), std::string::npos) << log;

  fakes::SetElevatedCopy([](const fakes::ElevatedStart& start) {
    const SetupSwitches requester = Switches;
    Switches = ReadSwitches("Setup.exe " + start.parameters);
    ErrorText = "written by the copy; ";
    WriteRequestedLog(ExitCodeText(kExitRestartNeeded));
    Switches = requester;
  });
  EXPECT_EQ(SilentRunForAllUsers(log), kExitRestartNeeded);
  EXPECT_EQ(log, "Errors: written by the copy; \r\nResult: " + ExitCodeText(kExitRestartNeeded) + "\r\n");
  ASSERT_EQ(fakes::ElevatedStarts().size(), 3u);
  EXPECT_EQ(fakes::ElevatedStarts()[2].parameters.find("elevation-refused.log"), std::string::npos);
  for (const auto& entry : fs::directory_iterator(SpecialFolderPath(platform::kCsidlCommonAppData)))
    EXPECT_NE(entry.path().filename().string().rfind("QuillonSetupLog-", 0), 0u) << "the copy's log is taken away";
}

TEST(ElevationRefused, ACopyWhoseOwnFileWasReplacedInstallsNothing) {
  fakes::ResetProcess();
  fakes::SetAdministratorRights(false);
  fakes::SetOwnFileVerdict(platform::OwnFileVerdict::NotTheImagesFile);
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  int copyCode = -1;
  fakes::SetElevatedCopy([&](const fakes::ElevatedStart& start) {
    const SetupSwitches requester = Switches;
    Switches = ReadSwitches("Setup.exe " + start.parameters);
    SetOwnFilePathForTests(self);  // a file that opens: the check decides
    copyCode = LoadStartUpData() ? RunSilently() : EndRefusedCopy();
    Switches = requester;
  });
  std::string log;
  SilentRunForAllUsers(log);
  EXPECT_EQ(copyCode, kExitFailed);
  EXPECT_EQ(fakes::OwnFileChecks(), 1u);
  EXPECT_EQ(SectionsState(), kSectionsRefused);
  EXPECT_NE(log.find("Refused: not installed from C:\\Setup\\Setup.exe: it is not the file that was started"),
            std::string::npos) << log;
  EXPECT_NE(log.find("Result: 2 install failed"), std::string::npos) << log;
  EXPECT_EQ(log.find("Line: "), std::string::npos) << "no script line ran: " << log;
  ResetOwnSections();
  SetOwnFilePathForTests("");
}

// The message boxes shown on this thread, each answered with its button as
// it appears: a box's modal loop runs the thread's timer.
std::vector<std::string> gBoxTexts;
HWND gAnswered = nullptr;

BOOL CALLBACK AnswerIfBox(HWND window, LPARAM) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "#32770" || window == gAnswered) return TRUE;
  char text[1024] = {};
  GetDlgItemTextA(window, 0xFFFF, text, sizeof text);  // the box's message
  gBoxTexts.push_back(text);
  gAnswered = window;
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), AnswerIfBox, 0); }

TEST(ElevationRefused, TheWindowSaysSoAndKeepsItsQuestion) {
  fakes::ResetProcess();
  fakes::SetAdministratorRights(false);
  fakes::SetElevationOutcome(platform::ElevatedRun::Refused);
  fakes::SetCommandLine("\"C:\\dl\\Setup.exe\"");
  ParseCommandLine();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBoxes);
  TKwSetupForm1 form;
  ASSERT_TRUE(form.Create(GetModuleHandleA(nullptr)));
  KillTimer(form.Handle(), kFirstCheckTimerId);
  gBoxTexts.clear();

  form.PgmPathEd->SetText("C:\\Program Files\\Quillon");
  form.StartBtnClick();
  KillTimer(nullptr, timer);
  EXPECT_EQ(gBoxTexts, std::vector<std::string>{Unit1Text(kTextElevationRefused)});
  ASSERT_EQ(fakes::ElevatedStarts().size(), 1u);
  const ByteString& parameters = fakes::ElevatedStarts()[0].parameters;
  EXPECT_EQ(parameters.rfind("/ELEVATED /PASSIVE /ALLUSERS /RUN ", 0), 0u) << parameters;
  EXPECT_NE(parameters.find("\"/D=C:\\Program Files\\Quillon\""), ByteString::npos) << parameters;
  EXPECT_EQ(form.CurrentPanel, form.AskPanel);
}

}  // namespace
