#pragma once
// The rules for the program folder the user enters or chooses.
#include <cstddef>
#include "base/Text.h"

// Trims the folder text (blanks and control characters at both ends) and
// gives it a trailing "\" when it names a usable folder: a folder below a
// drive root or a share below a server. A drive root, a drive letter alone,
// a drive-relative path and a bare server name are refused.
bool CheckProgramFolder(ByteString& folder);
// Everything up to and including the last "\" or ":".
ByteString FilePathOf(const ByteString& fileName);
// The folder that the folder dialog's answer names: its folder part with "\",
// plus "Quillon\" unless it already mentions the product ("quil", any case).
ByteString ChosenProgramFolder(const ByteString& fileName);
// The longest program folder (with its "\") that a system without long
// paths can hold: a folder's path leaves room for a file name of 8.3
// characters within the 260 of a path.
constexpr std::size_t kShortPathsFolderLength = 248;
// Whether the folder can be written on this system: always where the
// system has long paths enabled, else up to kShortPathsFolderLength.
bool FolderLengthAllowed(const ByteString& folder, bool longPathsEnabled);
// Blanks and control characters removed at both ends.
ByteString TrimBlanks(const ByteString& text);
