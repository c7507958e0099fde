// A silent run for all users without administrator rights, through the
// setup program's own code and the process seam's fake (Wine gives every
// program the rights and asks nobody): when the rights are refused the run
// ends with 7 and its /LOG= file says so; when the elevated copy ran, its
// exit code is the run's and the copy alone writes the log.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/SilentRun.h"
#include "engine/CommandLine.h"
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

  fakes::SetElevationOutcome(platform::ElevatedRun::Ended, kExitRestartNeeded);
  EXPECT_EQ(SilentRunForAllUsers(log), kExitRestartNeeded);
  EXPECT_EQ(log, "");
  ASSERT_EQ(fakes::ElevatedStarts().size(), 2u);
}

}  // namespace
