#pragma once
// What an install looks at before its first change, for the window and the
// silent run alike.
#include <vector>
#include "base/Text.h"

// The installed Quillon.exe can be replaced: it opens for writing and
// deleting without sharing (nothing is deleted by the check itself).
bool ProgramReplaceable(const ByteString& path);
// "a; b" of the held files, with the programs that hold them where the
// system can tell.
ByteString HeldFilesText(const std::vector<ByteString>& files);
