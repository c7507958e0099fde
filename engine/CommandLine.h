#pragma once
// The program's command line: its parameters, the uninstall mode and the
// switches of an unattended run.
#include <vector>
#include "base/Text.h"

// The switches, each matched without regard to case anywhere among the
// parameters.
struct SetupSwitches {
  bool silent = false;          // /S: no window, no message box
  bool noDesktop = false;       // /NODESKTOP: no desktop shortcut
  bool run = false;             // /RUN: start the product after a silent install
  bool allowDowngrade = false;  // /ALLOWDOWNGRADE: install over a newer version
  bool help = false;            // /? or /help
  bool passive = false;         // /PASSIVE: as /S, but with the progress window (silent is set too)
  bool currentUser = false;     // /CURRENTUSER: for the current user alone
  bool allUsers = false;        // /ALLUSERS: for every user (the default)
  bool noRestart = false;       // /NORESTART: accepted; the setup never restarts the machine
  bool elevatedCopy = false;    // the elevated copy the setup started of itself
  bool hasFolder = false;       // /D= was given
  ByteString folder;            // /D=: the rest of the command line, or the quoted parameter
  ByteString logFile;           // /LOG=
  ByteString logToken;          // the elevated copy's log place (/ELEVATEDLOG=, 16 hex digits)
  ByteString wrong;             // the first parameter that is no known switch, or lacks its value
};

extern SetupSwitches Switches;

// Fills ParamList, UninstallMode and Switches from the process's command line.
void ParseCommandLine();
// The program's parameters, parameter 0 (the program as written) included:
// codes 1..32 separate, double quotes switch quoting and are dropped, a pair
// of quotes where a parameter would begin is skipped. Ends at the first empty
// parameter. `starts`, when given, receives where each parameter begins.
std::vector<ByteString> SplitParameters(const ByteString& commandLine, std::vector<std::size_t>* starts = nullptr);
// The switches of a whole command line (parameter 0 is the program).
SetupSwitches ReadSwitches(const ByteString& commandLine);
