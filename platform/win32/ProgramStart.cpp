// Starting programs (platform/Process.h) on Win32: CreateProcessA with the
// program's file as the application name. The start as the desktop shell's
// child needs the parent-process attribute (Windows Vista and later), the
// start with the shell's token CreateProcessWithTokenW (the same); their
// calls are looked up at run time in the already loaded kernel32.dll and
// advapi32.dll.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // the declarations of the attribute list; no call is imported for it
#include "platform/Process.h"

#include <windows.h>

#include "platform/win32/ProcessAccount.h"
#include "platform/win32/SystemCalls.h"

#include <string>
#include <vector>

namespace platform {

namespace {

using InitializeListFn = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
using UpdateListFn = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T);
using DeleteListFn = VOID(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);

using CreateWithTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                                        LPPROCESS_INFORMATION);

// The process of this desktop's shell; 0 where there is none (the system
// account of a deployment tool has no shell on its desktop).
DWORD ShellProcessId() {
  using GetShellWindowFn = HWND(WINAPI*)();
  using GetWindowProcessFn = DWORD(WINAPI*)(HWND, LPDWORD);
  static const auto getShellWindow = SystemModuleCall<GetShellWindowFn>("user32.dll", "GetShellWindow");
  static const auto getWindowProcess =
      SystemModuleCall<GetWindowProcessFn>("user32.dll", "GetWindowThreadProcessId");
  const HWND shell = getShellWindow && getWindowProcess ? getShellWindow() : nullptr;
  DWORD id = 0;
  return shell && getWindowProcess(shell, &id) ? id : 0;
}

std::wstring Wide(const ByteString& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

bool Create(const ProgramStart& start, STARTUPINFOA& startup, DWORD flags) {
  startup.dwFlags |= STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(start.showCommand);
  ByteString commandLine = start.commandLine;  // CreateProcessA may write to it
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(start.file.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                      start.folder.empty() ? nullptr : start.folder.c_str(), &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

bool StartProgramAsShellUser(const ProgramStart& start) {
  const auto initialize = SystemCall<InitializeListFn>("kernel32.dll", "InitializeProcThreadAttributeList");
  const auto update = SystemCall<UpdateListFn>("kernel32.dll", "UpdateProcThreadAttribute");
  const auto remove = SystemCall<DeleteListFn>("kernel32.dll", "DeleteProcThreadAttributeList");
  if (!initialize || !update || !remove) return false;
  const DWORD shellProcessId = ShellProcessId();
  if (shellProcessId == 0) return false;
  HANDLE parent = OpenProcess(PROCESS_CREATE_PROCESS, FALSE, shellProcessId);
  if (!parent) return false;

  bool started = false;
  SIZE_T size = 0;
  initialize(nullptr, 1, 0, &size);
  std::vector<char> buffer(size);
  const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.data());
  if (size > 0 && initialize(list, 1, 0, &size)) {
    // The new process takes its token from the parent: the user's own, unelevated.
    if (update(list, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &parent, sizeof parent, nullptr, nullptr)) {
      STARTUPINFOEXA startup = {};
      startup.StartupInfo.cb = sizeof startup;
      startup.lpAttributeList = list;
      started = Create(start, startup.StartupInfo, EXTENDED_STARTUPINFO_PRESENT);
    }
    remove(list);
  }
  CloseHandle(parent);
  return started;
}

bool StartProgramWithShellToken(const ProgramStart& start) {
  const auto createWithToken = SystemCall<CreateWithTokenFn>("advapi32.dll", "CreateProcessWithTokenW");
  const DWORD shellProcessId = ShellProcessId();
  if (!createWithToken || shellProcessId == 0) return false;
  HANDLE shell = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellProcessId);
  if (!shell) return false;
  HANDLE token = nullptr, primary = nullptr;
  bool started = false;
  if (OpenProcessToken(shell, TOKEN_DUPLICATE | TOKEN_QUERY, &token) &&
      DuplicateTokenEx(token, TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT |
                                  TOKEN_ADJUST_SESSIONID,
                       nullptr, SecurityImpersonation, TokenPrimary, &primary)) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(start.showCommand);
    const std::wstring file = Wide(start.file), folder = Wide(start.folder);
    std::wstring commandLine = Wide(start.commandLine);  // the call may write to it
    PROCESS_INFORMATION process = {};
    started = createWithToken(primary, 0, file.c_str(), &commandLine[0], 0, nullptr,
                              folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    if (started) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  if (primary) CloseHandle(primary);
  if (token) CloseHandle(token);
  CloseHandle(shell);
  return started;
}

bool StartProgramDirectly(const ProgramStart& start) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  return Create(start, startup, 0);
}

bool RunsAsSystem() {
  const ProcessAccount account;
  return account.Sid() && IsWellKnownSid(account.Sid(), WinLocalSystemSid);
}

}  // namespace platform
