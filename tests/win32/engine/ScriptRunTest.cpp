// Script runs in a real setup package: the test program copies itself,
// appends the sections a packer would append and starts the copy, which
// then runs the engine as the setup would ("--script-child").
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <exception>

#include "engine/EngineValues.h"
#include "engine/ScriptInterpreter.h"
#include "platform/Process.h"
#include "tests/support/common/TempFolder.h"
#include "tests/unit/engine/TestPackage.h"

namespace {

const char* const kLog = "C:\\Setup.log";

// Child: "--script-child REPORT RUN..." with RUN "path" or "full"; writes one
// line per run ("path 0" / "full 1"), then "errors " + ErrorText, to REPORT.
int RunScriptChild(int argc, char** argv) {
  Quiet = true;
  ByteString report;
  int exitCode = 0;
  try {
    for (int i = 3; i < argc; ++i) {
      const bool pathOnly = ByteString(argv[i]) == "path";
      if (!pathOnly) PgmPath = "C:\\QuillonScriptTest\\";
      const bool ok = RunSetupScript(pathOnly);
      report += ByteString(argv[i]) + (ok ? " 1\n" : " 0\n");
    }
    report += "errors " + ErrorText + "\n";
  } catch (const std::exception& error) {
    report += ByteString("raised ") + error.what() + "\n";
    exitCode = 3;
  }
  testsupport::WriteHostFile(argv[2], report);
  return exitCode;
}

class ScriptRun : public ::testing::Test {
protected:
  void SetUp() override { DeleteFileA(kLog); }
  void TearDown() override { DeleteFileA(kLog); }

  // Runs a package made of this program and `parts`; answers the report.
  ByteString Run(const enginetest::PackageParts& parts, const ByteString& runs, int expectedExit = 0) {
    const ByteString self = testsupport::ReadHostFile(platform::ModuleFileName());
    EXPECT_FALSE(self.empty());
    const ByteString exe = temp_ / "Setup.exe";
    const ByteString report = temp_ / "report.txt";
    EXPECT_TRUE(testsupport::WriteHostFile(exe, enginetest::BuildPackage(self, parts)));
    ByteString command = "\"" + exe + "\" --script-child \"" + report + "\" " + runs;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, static_cast<DWORD>(expectedExit));
    return testsupport::ReadHostFile(report);
  }
  enginetest::PackageParts Script(const ByteString& script) {
    enginetest::PackageParts parts;
    parts.script = script;
    return parts;
  }
  ByteString Log() { return testsupport::ReadHostFile(kLog); }

  testsupport::TempFolder temp_;
};

TEST_F(ScriptRun, ThirdLineWithUnknownActionStopsTheRun) {
  const ByteString report = Run(Script("action=path,Version=1.0\r\n"
                                       "action=path,Lng=FR\r\n"
                                       "action=frobnicate,x=1\r\n"
                                       "action=path,Version=9\r\n"),
                                "full");
  EXPECT_EQ(report, "full 0\nerrors Command failed: action=frobnicate,x=1; \n");
  EXPECT_EQ(Log(), "action=path,Version=1.0\r\n"
                   "action=path,Lng=FR\r\n"
                   "action=frobnicate,x=1\r\n"
                   "Errors: Command failed: action=frobnicate,x=1; \r\n"
                   "Undone: every change of this run\r\n");
}

TEST_F(ScriptRun, PathOnlyRunExecutesAndLogsOnlyPathLines) {
  const ByteString report =
      Run(Script("action=frobnicate\r\naction=Path\r\naction=path,Version=2\r\n"), "path");
  EXPECT_EQ(report, "path 1\nerrors \n");
  EXPECT_EQ(GetFileAttributesA(kLog), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ScriptRun, PathOnlyErrorFailsTheLaterCleanRun) {
  const ByteString report = Run(Script("action=path,DataPath=*MyStartMenu*\\Data\r\n"), "path full");
  EXPECT_EQ(report, "path 0\nfull 0\nerrors no def for *MyStartMenu*; \n");
  EXPECT_EQ(Log(), "action=path,DataPath=*MyStartMenu*\\Data\r\n"
                   "Errors: no def for *MyStartMenu*; \r\n"
                   "Undone: every change of this run\r\n");
}

TEST_F(ScriptRun, CleanRunKeepsAnOlderLog) {
  ASSERT_TRUE(testsupport::WriteHostFile(kLog, "from an earlier setup"));
  EXPECT_EQ(Run(Script("action=path,Version=3\r\n"), "path full"), "path 1\nfull 1\nerrors \n");
  EXPECT_EQ(Log(), "from an earlier setup");
}

TEST_F(ScriptRun, BadPackages) {
  enginetest::PackageParts noScript;
  noScript.withScript = false;
  EXPECT_EQ(Run(noScript, "full"), "full 0\nerrors setup commands not found; \n");
  enginetest::PackageParts corrupt;
  corrupt.rawScript = "\x78\x9c not a stream";
  EXPECT_EQ(Run(corrupt, "full", 3).substr(0, 7), "raised ");
  EXPECT_EQ(GetFileAttributesA(kLog), INVALID_FILE_ATTRIBUTES);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && ByteString(argv[1]) == "--script-child") return RunScriptChild(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
