// The setup program's text rules that need no window: the program folder
// check, the folder chosen in the dialog, the language file's name and the
// application error box's message.
#include <gtest/gtest.h>

#include "app/FolderRules.h"
#include "app/MessageBoxes.h"
#include "app/StartUp.h"

namespace {

struct FolderCase {
  const char* entered;
  bool accepted;
  const char* after;  // the folder text after the check
};

TEST(CheckProgramFolder, AcceptsFoldersBelowARootAndTrimsThem) {
  const FolderCase cases[] = {
      {"C:\\Quillon", true, "C:\\Quillon\\"},
      {"C:\\Quillon\\", true, "C:\\Quillon\\"},
      {"  C:\\Apps\\Quillon  ", true, "C:\\Apps\\Quillon\\"},
      {"\t\r\nD:\\a\\b\\c\x01", true, "D:\\a\\b\\c\\"},
      {"\\\\server\\share", true, "\\\\server\\share\\"},
      {"\\\\server\\share\\deeper", true, "\\\\server\\share\\deeper\\"},
  };
  for (const auto& c : cases) {
    ByteString folder = c.entered;
    EXPECT_EQ(CheckProgramFolder(folder), c.accepted) << c.entered;
    EXPECT_EQ(folder, c.after) << c.entered;
  }
}

TEST(CheckProgramFolder, RefusesRootsRelativePathsAndBlanks) {
  const FolderCase cases[] = {
      {"C:\\", false, "C:\\"},
      {"C:", false, "C:\\"},
      {"C:Quillon", false, "C:Quillon\\"},
      {"\\\\server", false, "\\\\server\\"},
      {"\\\\server\\", false, "\\\\server\\"},
      {"Quillon", false, "Quillon"},
      {"\\Quillon", false, "\\Quillon"},
      {"     ", false, ""},
      {"", false, ""},
      {"X", false, "X"},
  };
  for (const auto& c : cases) {
    ByteString folder = c.entered;
    EXPECT_EQ(CheckProgramFolder(folder), c.accepted) << c.entered;
    EXPECT_EQ(folder, c.after) << c.entered;
  }
}

TEST(FolderPartOf, KeepsTheBackslashOfARoot) {
  EXPECT_EQ(FolderPartOf("C:\\a\\b"), "C:\\a");
  EXPECT_EQ(FolderPartOf("C:\\a"), "C:\\");
  EXPECT_EQ(FolderPartOf("C:"), "C:");
  EXPECT_EQ(FolderPartOf("\\\\server"), "\\\\");
  EXPECT_EQ(FolderPartOf("\\\\server\\share"), "\\\\server");
  EXPECT_EQ(FolderPartOf("name"), "");
}

TEST(ChosenProgramFolder, AddsTheProductFolderUnlessItIsNamed) {
  EXPECT_EQ(ChosenProgramFolder("C:\\Program Files\\In den Zielordner springen"), "C:\\Program Files\\Quillon\\");
  EXPECT_EQ(ChosenProgramFolder("C:\\In den Zielordner springen"), "C:\\Quillon\\");
  EXPECT_EQ(ChosenProgramFolder("D:\\Apps\\QUILLON 2\\x"), "D:\\Apps\\QUILLON 2\\");
  EXPECT_EQ(ChosenProgramFolder("D:\\quilt\\x"), "D:\\quilt\\");
  EXPECT_EQ(ChosenProgramFolder("E:\\Tools\\x"), "E:\\Tools\\Quillon\\");
}

TEST(LanguageFileName, ReplacesOrAppendsTheExtension) {
  EXPECT_EQ(LanguageFileName("C:\\dl\\Setup.exe"), "C:\\dl\\Setup.lng");
  EXPECT_EQ(LanguageFileName("C:\\dl\\Setup.v2.exe"), "C:\\dl\\Setup.v2.lng");
  EXPECT_EQ(LanguageFileName("C:\\dl.x\\Setup"), "C:\\dl.x\\Setup.lng");
  EXPECT_EQ(LanguageFileName("C:Setup"), "C:Setup.lng");
}

TEST(ApplicationErrorText, AddsAFullStopAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(ApplicationErrorText("data error"), "data error.");
  EXPECT_EQ(ApplicationErrorText("Fehler 5"), "Fehler 5.");
  EXPECT_EQ(ApplicationErrorText("Ung\xFCltig \xE4"), "Ung\xFCltig \xE4.");
  EXPECT_EQ(ApplicationErrorText("done."), "done.");
  EXPECT_EQ(ApplicationErrorText("stop!"), "stop!");
  EXPECT_EQ(ApplicationErrorText("list,"), "list,");
  EXPECT_EQ(ApplicationErrorText(""), "");
}

}  // namespace
