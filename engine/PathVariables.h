#pragma once
// Path variables and system folders.
#include "base/Text.h"

void ExpandPathVariables(ByteString& text);
void ExpandFolder(ByteString& text);
ByteString ProgramFilesFolder();
ByteString SpecialFolderPath(int csidl);
ByteString CommonDesktopFolder();
ByteString CommonProgramsFolder();
ByteString ShellFolderValue(const ByteString& name);
bool FolderExists(const ByteString& path);
bool CreateFolderChain(const ByteString& path);
bool EnsureFolder(const ByteString& path);
// Everything up to the last "\" or ":", that "\" dropped unless the character
// before it is "\" or ":".
ByteString ParentFolderOf(const ByteString& path);
