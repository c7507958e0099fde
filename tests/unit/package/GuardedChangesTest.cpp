// Removals and renames in folders others may change, through the file seam
// on both builds: a link on the way or at the path refuses the change, and
// what it points at stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "platform/Files.h"

namespace {

namespace fs = std::filesystem;
using platform::GuardedChange;

// Windows paths below a trusted folder "T" of the temporary folder; natively
// they are mapped below it as "C:\T\...".
class GuardedChangesTest : public ::testing::Test {
protected:
  void SetUp() override {
#ifndef _WIN32
    platform::SetNativeDriveRoot(temp_.Path(""));
    fs::create_directories(temp_.Path("C/T/Daten"));
    fs::create_directories(temp_.Path("C/Victim"));
#else
    fs::create_directories(temp_.Path("T/Daten"));
    fs::create_directories(temp_.Path("Victim"));
#endif
    Write("Victim\\v.txt");
  }
  void TearDown() override {
#ifndef _WIN32
    platform::SetNativeDriveRoot("");
#endif
  }
  ByteString Win(const ByteString& below) const {
#ifndef _WIN32
    return "C:\\" + below;
#else
    ByteString path = temp_.Path(below);
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
#endif
  }
  fs::path Host(ByteString below) const {
    for (char& c : below) c = c == '\\' ? '/' : c;
#ifndef _WIN32
    return temp_.Path("C/" + below);
#else
    return temp_.Path(below);
#endif
  }
  void Write(const ByteString& below) const { std::ofstream(Host(below)) << "x"; }
  // A symbolic link, where the system lets a test make one.
  bool Link(const ByteString& below, const ByteString& to, bool folder) const {
    std::error_code error;
    if (folder) fs::create_directory_symlink(Host(to), Host(below), error);
    else fs::create_symlink(Host(to), Host(below), error);
    if (error) std::printf("note: no symbolic link here (%s); not checked\n", error.message().c_str());
    return !error;
  }

  TempFolder temp_;
};

TEST_F(GuardedChangesTest, ChangesBelowTheTrustedFolderThroughNoLink) {
  const ByteString trusted = Win("T");
  Write("T\\Daten\\a.txt");
  Write("T\\Daten\\b.txt");
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Daten\\a.txt"), Win("T\\Daten\\b.txt"), false),
            GuardedChange::Failed);
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Daten\\a.txt"), Win("T\\Daten\\b.txt"), true), GuardedChange::Done);
  EXPECT_FALSE(fs::exists(Host("T\\Daten\\a.txt")));
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten\\b.txt")), GuardedChange::Done);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten\\b.txt")), GuardedChange::Failed);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten")), GuardedChange::Done);
  EXPECT_FALSE(fs::exists(Host("T\\Daten")));
  // Nothing outside the trusted folder, nothing moved to another folder.
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("Victim\\v.txt")), GuardedChange::Refused);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\..\\Victim\\v.txt")), GuardedChange::Refused);
  fs::create_directories(Host("T\\Daten"));
  Write("T\\Daten\\a.txt");
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Daten\\a.txt"), Win("T\\a.txt"), true), GuardedChange::Refused);
  EXPECT_TRUE(fs::exists(Host("T\\Daten\\a.txt")));
}

TEST_F(GuardedChangesTest, ALinkOnTheWayOrAtThePathRefusesTheChange) {
  const ByteString trusted = Win("T");
  fs::remove(Host("T\\Daten"));
  if (!Link("T\\Daten", "Victim", true)) return;
  Write("T\\Own.txt");
  if (!Link("T\\File.txt", "Victim\\v.txt", false)) return;
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten\\v.txt")), GuardedChange::Refused);
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Daten\\v.txt"), Win("T\\Daten\\w.txt"), true),
            GuardedChange::Refused);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten")), GuardedChange::Refused);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\File.txt")), GuardedChange::Refused);
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Own.txt"), Win("T\\File.txt"), true), GuardedChange::Done);
  EXPECT_TRUE(fs::exists(Host("Victim\\v.txt")));
  EXPECT_TRUE(fs::is_symlink(Host("T\\Daten")));
}

}  // namespace
