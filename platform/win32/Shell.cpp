// The shell services of platform/Shell.h on Win32. shell32.dll, ole32.dll
// and shlwapi.dll are loaded at the first call that needs them.
#include "platform/Shell.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "platform/win32/ComOnDemand.h"
#include "platform/win32/SystemCalls.h"

#include <cstring>

namespace platform {

namespace {

bool IsFolder(const ByteString& path) {
  const uint32_t attributes = path.empty() ? kInvalidFileAttributes : FileAttributesOf(path);
  return attributes != kInvalidFileAttributes && (attributes & kAttrDirectory);
}

// The machine's folders that the registry names, where only administrators
// write, as the shell answers them: the program data folder (the profile
// list's; the system drive read from the system, never from the
// environment) and the program folders of this process's registry view.
// Every run needs them, and most runs nothing else of the shell. Empty for
// any other folder, and where the value is missing or names any other
// variable: the shell answers then.
ByteString MachineFolderInRegistry(int csidl) {
  const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  const char* name = nullptr;
  if (csidl == CSIDL_COMMON_APPDATA) {
    key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    name = "ProgramData";
  } else if (csidl == CSIDL_PROGRAM_FILES) {
    name = "ProgramFilesDir";
  } else if (csidl == CSIDL_PROGRAM_FILESX86) {
    name = "ProgramFilesDir (x86)";
  } else {
    return ByteString();
  }
  RegKey handle = 0;
  if (!RegOpen(Hive::LocalMachine, key, false, handle)) return ByteString();
  uint32_t type = 0;
  ByteString path;
  const bool read = RegQuery(handle, name, type, path);
  RegClose(handle);
  if (!read || (type != REG_SZ && type != REG_EXPAND_SZ)) return ByteString();
  path.resize(strnlen(path.c_str(), path.size()));  // up to an embedded end
  static const char kSystemDrive[] = "%SystemDrive%";
  constexpr std::size_t kSystemDriveLength = sizeof kSystemDrive - 1;
  if (_strnicmp(path.c_str(), kSystemDrive, kSystemDriveLength) == 0) {
    char system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    if (length < 2 || length >= MAX_PATH || system[1] != ':') return ByteString();
    path.replace(0, kSystemDriveLength, system, 2);
  }
  if (path.find('%') != ByteString::npos) return ByteString();
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

// The folder's path without the shell's item list (SHGetFolderPathA; under
// Wine several times faster), taken only where the folder stands: for any
// other the item list answers as it always did.
ByteString ExistingFolderPath(WindowHandle owner, int csidl) {
  const ByteString machine = MachineFolderInRegistry(csidl);
  if (IsFolder(machine)) return machine;
  using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
  static const auto getFolderPath = SystemModuleCall<GetFolderPathFn>("shell32.dll", "SHGetFolderPathA");
  char buffer[MAX_PATH] = {};
  if (!getFolderPath || getFolderPath(reinterpret_cast<HWND>(owner), csidl, nullptr, 0, buffer) != S_OK)
    return ByteString();
  const ByteString path(buffer, strnlen(buffer, sizeof buffer));
  return IsFolder(path) ? path : ByteString();
}

}  // namespace

ByteString SpecialFolder(WindowHandle owner, int csidl) {
  const ByteString direct = ExistingFolderPath(owner, csidl);
  if (!direct.empty()) return direct;
  using GetLocationFn = HRESULT(WINAPI*)(HWND, int, LPITEMIDLIST*);
  using GetPathFn = BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR);
  static const auto getLocation = SystemModuleCall<GetLocationFn>("shell32.dll", "SHGetSpecialFolderLocation");
  static const auto getPath = SystemModuleCall<GetPathFn>("shell32.dll", "SHGetPathFromIDListA");
  LPITEMIDLIST list = nullptr;
  if (!getLocation || !getPath || !Com().freeMemory ||
      FAILED(getLocation(reinterpret_cast<HWND>(owner), csidl, &list)) || !list)
    return ByteString();
  char buffer[MAX_PATH] = {};  // the call's documented size, 260 bytes
  const BOOL found = getPath(list, buffer);
  Com().freeMemory(list);
  return found ? ByteString(buffer, strnlen(buffer, sizeof buffer)) : ByteString();
}

ByteString KnownUserProgramFilesFolder() {
  // FOLDERID_UserProgramFiles; SHGetKnownFolderPath is missing before Vista.
  static const GUID kUserProgramFiles = {0x5cd7aee2, 0x2219, 0x4a67, {0xb8, 0x5d, 0x6c, 0x9c, 0xe1, 0x56, 0x60, 0xcb}};
  using GetKnownFolderPathFn = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);
  static const auto get = SystemModuleCall<GetKnownFolderPathFn>("shell32.dll", "SHGetKnownFolderPath");
  if (!get || !Com().freeMemory) return ByteString();
  PWSTR path = nullptr;
  ByteString result;
  // Known to the system even before the user's first per-user program
  // makes it: not verified (KF_FLAG_DONT_VERIFY).
  if (SUCCEEDED(get(kUserProgramFiles, 0x00004000, nullptr, &path)) && path) {
    char buffer[MAX_PATH * 2] = {};
    const int length = WideCharToMultiByte(CP_ACP, 0, path, -1, buffer, sizeof buffer, nullptr, nullptr);
    if (length > 1) result.assign(buffer, static_cast<std::size_t>(length - 1));
  }
  Com().freeMemory(path);
  return result;
}

namespace {

// Both interfaces of one shell link object; released together.
class Win32ShellLink : public ShellLink {
public:
  Win32ShellLink(IShellLinkA* link, IPersistFile* file) : link_(link), file_(file) {}
  ~Win32ShellLink() override {
    file_->Release();
    link_->Release();
  }
  Win32ShellLink(const Win32ShellLink&) = delete;
  Win32ShellLink& operator=(const Win32ShellLink&) = delete;

  void SetArguments(const ByteString& args) override { link_->SetArguments(args.c_str()); }
  void SetPath(const ByteString& target) override { link_->SetPath(target.c_str()); }
  void SetWorkingDirectory(const ByteString& folder) override {
    link_->SetWorkingDirectory(folder.c_str());
  }
  void Save(const WideString& linkPath) override {
    // The shell wants a NUL-terminated wide path; char16_t and WCHAR are both UTF-16.
    std::wstring path(linkPath.begin(), linkPath.end());
    file_->Save(path.c_str(), FALSE);
  }

private:
  IShellLinkA* link_;
  IPersistFile* file_;
};

// CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER
constexpr DWORD kShellLinkContext = 5;

using PathMakeSystemFolderFn = BOOL(WINAPI*)(LPCSTR);

PathMakeSystemFolderFn LookUpPathMakeSystemFolder() {
  static const auto make = SystemModuleCall<PathMakeSystemFolderFn>("shlwapi.dll", "PathMakeSystemFolderA");
  return make;
}

}  // namespace

std::unique_ptr<ShellLink> CreateShellLinkObject() {
  StartComOnThisThread();
  IUnknown* object = nullptr;
  if (!Com().createInstance ||
      FAILED(Com().createInstance(CLSID_ShellLink, nullptr, kShellLinkContext, IID_IUnknown,
                                  reinterpret_cast<void**>(&object))) ||
      !object)
    return nullptr;
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  const bool haveLink =
      SUCCEEDED(object->QueryInterface(IID_IShellLinkA, reinterpret_cast<void**>(&link))) && link;
  const bool haveFile =
      SUCCEEDED(object->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) && file;
  object->Release();
  if (!haveLink || !haveFile) {
    if (haveLink) link->Release();
    if (haveFile) file->Release();
    return nullptr;
  }
  return std::make_unique<Win32ShellLink>(link, file);
}

bool HasPathMakeSystemFolder() { return LookUpPathMakeSystemFolder() != nullptr; }

void MakeSystemFolder(const ByteString& folder) {
  if (PathMakeSystemFolderFn make = LookUpPathMakeSystemFolder()) make(folder.c_str());
}

}  // namespace platform
