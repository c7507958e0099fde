// Unattended runs: the switches read from a command line, and the uninstall
// information of an earlier installation merged into the new one.
#include <gtest/gtest.h>

#include "engine/CommandLine.h"
#include "engine/UninstallMerge.h"

namespace {

TEST(Switches, AnyCaseAnyPlaceAndTheFolderTakesTheRest) {
  SetupSwitches s = ReadSwitches("Setup.exe /s /NoDesktop /RUN /allowdowngrade /Log=C:\\q.log /D=C:\\Program Files\\Q  ");
  EXPECT_TRUE(s.silent && s.noDesktop && s.run && s.allowDowngrade);
  EXPECT_FALSE(s.help);
  EXPECT_EQ(s.logFile, "C:\\q.log");
  EXPECT_TRUE(s.hasFolder);
  EXPECT_EQ(s.folder, "C:\\Program Files\\Q");
  EXPECT_EQ(s.wrong, "");

  // Quoted as a whole, or only its value: other switches may follow.
  s = ReadSwitches("\"C:\\dl\\Setup.exe\" \"/D=C:\\Program Files\\Q\" /S");
  EXPECT_EQ(s.folder, "C:\\Program Files\\Q");
  EXPECT_TRUE(s.silent);
  s = ReadSwitches("Setup.exe /S /d=\"C:\\A B\\Q\"");
  EXPECT_EQ(s.folder, "C:\\A B\\Q");
  // The program's own path is no switch; "/D=" alone names no folder.
  s = ReadSwitches("C:\\S\\Setup.exe /D=");
  EXPECT_TRUE(s.hasFolder);
  EXPECT_EQ(s.folder, "");
  EXPECT_FALSE(ReadSwitches("/S").silent);
}

TEST(Switches, HelpAndWrongParameters) {
  EXPECT_TRUE(ReadSwitches("Setup.exe /?").help);
  EXPECT_TRUE(ReadSwitches("Setup.exe /HELP").help);
  // The uninstaller's own parameters are known.
  EXPECT_EQ(ReadSwitches("uninstall.exe /uninst \"UninstallKey=Quillon 2026\" /S").wrong, "");
  EXPECT_EQ(ReadSwitches("Setup.exe /S /X /Y").wrong, "/X");
  EXPECT_EQ(ReadSwitches("Setup.exe /S /LOG=").wrong, "/LOG=");
  EXPECT_EQ(ReadSwitches("Setup.exe /Silent").wrong, "/Silent");
}

TEST(UninstallMerge, EarlierFilesAndFoldersJoinWithoutDuplicates) {
  const ByteString earlier =
      "UninstallKey=Quillon 2025\r\nLng=EN\r\nfile=C:\\Q\\Quillon.exe\r\nfile=C:\\Q\\Old.exe\r\n"
      "dir=C:\\Q\\Daten\r\ndir=C:\\Q\r\n";
  const ByteString current =
      "UninstallKey=Quillon 2026\r\nLng=\r\nfile=C:\\q\\QUILLON.EXE\r\nfile=C:\\Q\\New.exe\r\n"
      "dir=C:\\Q\\Neu\\Sub\r\ndir=C:\\q\r\n";
  EXPECT_EQ(MergeUninstallInfo(current, earlier),
            "UninstallKey=Quillon 2026\r\nLng=\r\n"
            "file=C:\\Q\\Quillon.exe\r\nfile=C:\\Q\\Old.exe\r\nfile=C:\\Q\\New.exe\r\n"
            "dir=C:\\Q\\Neu\\Sub\r\ndir=C:\\Q\\Daten\r\ndir=C:\\Q\r\n");
  // Nothing earlier: the information as it is.
  EXPECT_EQ(MergeUninstallInfo(current, ""), current);
}

}  // namespace
