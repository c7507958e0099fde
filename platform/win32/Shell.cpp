// The shell services of platform/Shell.h on Win32.
#include "platform/Shell.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "platform/win32/ComOnDemand.h"
#include "platform/win32/SystemCalls.h"

#include <cstring>

namespace platform {

namespace {

// The folder's path without the shell's item list (SHGetFolderPathA, looked
// up at run time; under Wine several times faster), taken only where the
// folder stands: for any other the item list answers as it always did.
ByteString ExistingFolderPath(WindowHandle owner, int csidl) {
  using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
  static const auto getFolderPath = SystemCall<GetFolderPathFn>("shell32.dll", "SHGetFolderPathA");
  char buffer[MAX_PATH] = {};
  if (!getFolderPath || getFolderPath(reinterpret_cast<HWND>(owner), csidl, nullptr, 0, buffer) != S_OK)
    return ByteString();
  const DWORD attributes = GetFileAttributesA(buffer);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ByteString();
  return ByteString(buffer, strnlen(buffer, sizeof buffer));
}

}  // namespace

ByteString SpecialFolder(WindowHandle owner, int csidl) {
  const ByteString direct = ExistingFolderPath(owner, csidl);
  if (!direct.empty()) return direct;
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(reinterpret_cast<HWND>(owner), csidl, &list)) || !list)
    return ByteString();
  char buffer[MAX_PATH] = {};  // the call's documented size, 260 bytes
  const BOOL found = SHGetPathFromIDListA(list, buffer);
  CoTaskMemFree(list);
  return found ? ByteString(buffer, strnlen(buffer, sizeof buffer)) : ByteString();
}

ByteString KnownUserProgramFilesFolder() {
  // FOLDERID_UserProgramFiles; SHGetKnownFolderPath is missing before Vista.
  static const GUID kUserProgramFiles = {0x5cd7aee2, 0x2219, 0x4a67, {0xb8, 0x5d, 0x6c, 0x9c, 0xe1, 0x56, 0x60, 0xcb}};
  using GetKnownFolderPathFn = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);
  const auto get = SystemCall<GetKnownFolderPathFn>("shell32.dll", "SHGetKnownFolderPath");
  if (!get) return ByteString();
  PWSTR path = nullptr;
  ByteString result;
  // Known to the system even before the user's first per-user program
  // makes it: not verified (KF_FLAG_DONT_VERIFY).
  if (SUCCEEDED(get(kUserProgramFiles, 0x00004000, nullptr, &path)) && path) {
    char buffer[MAX_PATH * 2] = {};
    const int length = WideCharToMultiByte(CP_ACP, 0, path, -1, buffer, sizeof buffer, nullptr, nullptr);
    if (length > 1) result.assign(buffer, static_cast<std::size_t>(length - 1));
  }
  CoTaskMemFree(path);
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
  return SystemCall<PathMakeSystemFolderFn>("shlwapi.dll", "PathMakeSystemFolderA");
}

}  // namespace

std::unique_ptr<ShellLink> CreateShellLinkObject() {
  StartComOnThisThread();
  IUnknown* object = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, kShellLinkContext, IID_IUnknown,
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
