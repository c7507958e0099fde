#pragma once
// The shell. Win32: the program data and program folders as the machine's
// registry names them where they stand, SHGetFolderPathA for any other
// folder that exists, else SHGetSpecialFolderLocation +
// SHGetPathFromIDListA; the shell link object (CoCreateInstance of
// CLSID_ShellLink, class context 5, IShellLinkA, IPersistFile) and
// PathMakeSystemFolderA of shlwapi.dll. shell32, ole32 and shlwapi are
// loaded by the first call that needs them. Natively a fake serves it
// (tests/support).
#include <cstdint>
#include <memory>
#include "base/Text.h"

namespace platform {

using WindowHandle = std::uintptr_t;

constexpr int kCsidlCommonPrograms = 23;
constexpr int kCsidlCommonDesktop = 25;
constexpr int kCsidlPrograms = 2;            // the user's start-menu programs
constexpr int kCsidlDesktopDirectory = 16;   // the user's desktop
constexpr int kCsidlLocalAppData = 28;
constexpr int kCsidlCommonAppData = 35;
constexpr int kCsidlProgramFiles = 38;
constexpr int kCsidlProgramFilesX86 = 42;

// The folder's path, or empty when either call fails.
ByteString SpecialFolder(WindowHandle owner, int csidl);

// The known folder for per-user programs (FOLDERID_UserProgramFiles,
// %LOCALAPPDATA%\Programs) through SHGetKnownFolderPath, looked up at run
// time; empty where the system lacks either.
ByteString KnownUserProgramFilesFolder();

// One shell link object with both interfaces obtained. Method results are ignored.
class ShellLink {
public:
  virtual ~ShellLink() = default;
  virtual void SetArguments(const ByteString& args) = 0;
  virtual void SetPath(const ByteString& target) = 0;
  virtual void SetWorkingDirectory(const ByteString& folder) = 0;
  // IPersistFile::Save with fRemember = FALSE.
  virtual void Save(const WideString& linkPath) = 0;
};
// Null when the object or one of its two interfaces cannot be obtained.
std::unique_ptr<ShellLink> CreateShellLinkObject();

// Looks up PathMakeSystemFolderA in the already loaded "shlwapi.dll"; false
// when the module or the export is missing.
bool HasPathMakeSystemFolder();
void MakeSystemFolder(const ByteString& folder);

}  // namespace platform
