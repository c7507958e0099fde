#pragma once
// The system's folders, looked up (nothing is made here).
#include "base/Text.h"

ByteString ProgramFilesFolder();
ByteString SpecialFolderPath(int csidl);
// The special folder without a trailing "", for the setup's own folders
// made directly in it ("<base>\<name>"); empty when the system has none.
ByteString SpecialFolderBase(int csidl);
ByteString CommonDesktopFolder();
ByteString CommonProgramsFolder();
ByteString ShellFolderValue(const ByteString& name);
bool FolderExists(const ByteString& path);
// The user's own program folder, with a trailing "\": the shell's known
// folder for per-user programs, else "Programs" below the user's local
// application data; empty where the system has neither.
ByteString UserProgramsFolder();
// True where the system has a per-user program folder (the window offers
// the choice only there): every system with a per-user local application
// data folder; older ones (and Wine 8) lack the known folder, not the folder.
bool SystemHasUserProgramsFolder();
