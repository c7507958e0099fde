#pragma once
// The program's two text groups: "MainDPR" (start-up) and "Unit1" (the setup
// window). Each is created on first use with its German defaults and
// answers by number, translated into the current language.
#include <vector>
#include "base/Text.h"

// The numbers of the "Unit1" texts that the program shows, by what they say.
enum Unit1TextNumber : int {
  kTextProduct = 1,
  kTextVersion = 2,
  kTextUninstallTitle = 3,
  kTextFolderUnusable = 4,
  kTextProgramInUse = 6,
  kTextFailed = 7,
  kTextInstalled = 8,
  kTextInstalledStarting = 9,
  kTextRemoving = 11,
  kTextNewerInstalled = 12,
  kTextInstallsProduct = 13,
  kTextJumpToFolder = 14,
  kTextTooLittleRoom = 15,
  kTextFilesInUse = 16,
  kTextReallyCancel = 17,
  kTextCancelled = 18,
  kTextDriveFull = 19,
  kTextUndoingInterrupted = 20,
  kTextCancelling = 21,
  kTextElevationRefused = 22,
  kTextFolderTooLong = 23,
  kTextInterruptedRunRecovered = 24,
  kTextUpdateNotOverBase = 25,
};
// The "MainDPR" text of a second setup that finds another one running.
constexpr int kTextDoubleStart = 1;
// The "MainDPR" text of an elevated copy whose own file was refused.
constexpr int kTextOwnFileRefused = 2;

ByteString MainDPRText(int number);
ByteString Unit1Text(int number);
// Unit1Text with every "%1" replaced by the argument (at most 255 characters).
ByteString Unit1TextWith(int number, const ShortText& argument);
// Unit1Text with each "%1" ... "%9" replaced by that argument; the inserted
// texts are not searched again.
ByteString Unit1TextWithAll(int number, const std::vector<ByteString>& arguments);
