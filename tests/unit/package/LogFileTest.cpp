// Logs at fixed paths that someone else may have prepared, through the file
// seam on both builds: what stands at the path is never written through.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TempFolder.h"
#include "platform/Files.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(LogFile, WritesAPlainFileAndRefusesWhatWasPreparedThere) {
  TempFolder temp;
  const std::string log = temp.Path("Setup.log");
  ASSERT_TRUE(platform::WriteLogFile(log, "first run\r\n", 11));
  ASSERT_TRUE(platform::WriteLogFile(log, "two\r\n", 5));
  EXPECT_EQ(Contents(log), "two\r\n");  // replaced, not appended or left long

  // A folder in the way: refused, left as it is.
  const std::string folder = temp.Path("Folder.log");
  fs::create_directory(folder);
  EXPECT_FALSE(platform::WriteLogFile(folder, "log", 3));
  EXPECT_TRUE(fs::is_directory(folder));

  // A second name of a file elsewhere: writing the log would change that file.
  const std::string victim = temp.Write("victim.ini", "keep");
  const std::string linked = temp.Path("linked.log");
  fs::create_hard_link(victim, linked);
  EXPECT_FALSE(platform::WriteLogFile(linked, "log", 3));
  EXPECT_EQ(Contents(victim), "keep");

  // A link to it, where the system lets a test make one.
  const std::string symbolic = temp.Path("symbolic.log");
  std::error_code error;
  fs::create_symlink(victim, symbolic, error);
  if (!error) {
    EXPECT_FALSE(platform::WriteLogFile(symbolic, "log", 3));
    EXPECT_EQ(Contents(victim), "keep");
  } else {
    std::printf("note: no symbolic link here (%s); not checked\n", error.message().c_str());
  }
}

}  // namespace
