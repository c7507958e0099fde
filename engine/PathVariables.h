#pragma once
// The path variables of the script's paths (*PgmPath* and the others) and
// the path rules that go with them.
#include "base/Text.h"

void ExpandPathVariables(ByteString& text);
void ExpandFolder(ByteString& text);
// Everything up to the last "\" or ":", that "\" dropped unless the character
// before it is "\" or ":".
ByteString ParentFolderOf(const ByteString& path);
