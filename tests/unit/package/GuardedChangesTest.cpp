// Removals, renames and attribute changes in folders others may change,
// through the file seam on both builds: a link on the way or at the path refuses the change, and
// what it points at stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "platform/Files.h"

namespace {

namespace fs = std::filesystem;
using platform::GuardedChange;

// Paths below the temporary folder: natively as "C:\..." mapped below it.
class GuardedChangesTest : public ::testing::Test {
protected:
#ifndef _WIN32
  void SetUp() override { platform::SetNativeDriveRoot(temp_.Path("")); }
  void TearDown() override { platform::SetNativeDriveRoot(""); }
  ByteString Win(const ByteString& below) const { return "C:\\" + below; }
  fs::path Host(const ByteString& below) const { return platform::NativePath(Win(below)); }
#else
  ByteString Win(const ByteString& below) const { return fs::path(temp_.Path(below)).make_preferred().string(); }
  fs::path Host(const ByteString& below) const { return Win(below); }
#endif
  void Write(const ByteString& below) const {
    fs::create_directories(Host(below).parent_path());
    std::ofstream(Host(below)) << "x";
  }
  // A symbolic link, where the system lets a test make one.
  bool Link(const ByteString& below, const ByteString& to) const {
    std::error_code error;
    fs::create_symlink(Host(to), Host(below), error);
    if (error) std::printf("note: no symbolic link here (%s); not checked\n", error.message().c_str());
    return !error;
  }
  bool ReadOnly(const ByteString& below) const {
    return (fs::status(Host(below)).permissions() & fs::perms::owner_write) == fs::perms::none;
  }

  TempFolder temp_;
};

TEST_F(GuardedChangesTest, ChangesBelowTheTrustedFolderThroughNoLink) {
  const ByteString trusted = Win("T");
  Write("T\\Daten\\a.txt");
  Write("T\\Daten\\b.txt");
  Write("Victim\\v.txt");
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Daten\\a.txt"), Win("T\\Daten\\b.txt"), false),
            GuardedChange::Failed);
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Daten\\a.txt"), Win("T\\Daten\\b.txt"), true), GuardedChange::Done);
  EXPECT_FALSE(fs::exists(Host("T\\Daten\\a.txt")));
  EXPECT_EQ(platform::ChangeAttributesBelow(trusted, Win("T\\Daten\\b.txt"), platform::kAttrReadOnly),
            GuardedChange::Done);
  EXPECT_TRUE(ReadOnly("T\\Daten\\b.txt"));
  EXPECT_EQ(platform::ChangeAttributesBelow(trusted, Win("T\\Daten\\b.txt"), 0), GuardedChange::Done);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten\\b.txt")), GuardedChange::Done);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten\\b.txt")), GuardedChange::Failed);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten")), GuardedChange::Done);
  EXPECT_FALSE(fs::exists(Host("T\\Daten")));
  // Nothing outside the trusted folder, nothing moved to another folder.
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("Victim\\v.txt")), GuardedChange::Refused);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\..\\Victim\\v.txt")), GuardedChange::Refused);
  Write("T\\Daten\\a.txt");
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Daten\\a.txt"), Win("T\\a.txt"), true), GuardedChange::Refused);
  EXPECT_TRUE(fs::exists(Host("T\\Daten\\a.txt")));
}

TEST_F(GuardedChangesTest, ALinkOnTheWayOrAtThePathRefusesTheChange) {
  const ByteString trusted = Win("T");
  Write("Victim\\v.txt");
  Write("T\\Own.txt");
  if (!Link("T\\Daten", "Victim") || !Link("T\\File.txt", "Victim\\v.txt")) return;
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten\\v.txt")), GuardedChange::Refused);
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Daten\\v.txt"), Win("T\\Daten\\w.txt"), true),
            GuardedChange::Refused);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\Daten")), GuardedChange::Refused);
  EXPECT_EQ(platform::RemoveBelow(trusted, Win("T\\File.txt")), GuardedChange::Refused);
  for (const char* path : {"T\\Daten\\v.txt", "T\\File.txt"})
    EXPECT_EQ(platform::ChangeAttributesBelow(trusted, Win(path), platform::kAttrReadOnly), GuardedChange::Refused);
  EXPECT_FALSE(ReadOnly("Victim\\v.txt"));
  // Replacing a link's name replaces the link, never what it points at.
  EXPECT_EQ(platform::RenameBelow(trusted, Win("T\\Own.txt"), Win("T\\File.txt"), true), GuardedChange::Done);
  EXPECT_TRUE(fs::exists(Host("Victim\\v.txt")));
  EXPECT_TRUE(fs::is_symlink(Host("T\\Daten")));
}

}  // namespace
