#pragma once
// Unattended runs: the install and the uninstall without a window or a
// message box (/S), and the hand-over of a run for all users to its
// elevated copy.
#include "app/ExitCodesAndHelp.h"
#include "base/Text.h"

// The install (or, as the uninstaller, the uninstall) without any window;
// writes the /LOG= file. Answers the exit code.
int RunSilently();
// A failure raised before the silent run began (the language data): logged
// for /LOG=; answers kExitFailed.
int SilentFailure(const ByteString& message);
// A run for all users without administrator rights: the elevated copy's
// exit code (its log comes over to the /LOG= file), kExitElevationRefused
// when the rights were refused. False (code untouched) when this run needs
// no elevation.
bool RunElevatedInstead(int& code);
