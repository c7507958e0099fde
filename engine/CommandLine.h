#pragma once
// The program's command line: its parameters and the uninstall mode.
#include <vector>
#include "base/Text.h"

// Fills ParamList and UninstallMode from the process's command line.
void ParseCommandLine();
// The program's parameters, parameter 0 (the program as written) included:
// codes 1..32 separate, double quotes switch quoting and are dropped, a pair
// of quotes where a parameter would begin is skipped. Ends at the first empty
// parameter.
std::vector<ByteString> SplitParameters(const ByteString& commandLine);
