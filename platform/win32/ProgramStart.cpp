// Starting programs (platform/Process.h) on Win32: CreateProcessA with the
// program's file as the application name. The start as the desktop shell's
// child needs the parent-process attribute (Windows Vista and later); its
// calls are looked up at run time in the already loaded kernel32.dll.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // the declarations of the attribute list; no call is imported for it
#include "platform/Process.h"

#include <windows.h>

#include "platform/win32/SystemCalls.h"

#include <vector>

namespace platform {

namespace {

using InitializeListFn = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
using UpdateListFn = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T);
using DeleteListFn = VOID(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);

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
  // The shell of this desktop; the system account of a deployment tool has none.
  const HWND shell = GetShellWindow();
  DWORD shellProcessId = 0;
  if (!shell || !GetWindowThreadProcessId(shell, &shellProcessId) || shellProcessId == 0) return false;
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

bool StartProgramDirectly(const ProgramStart& start) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  return Create(start, startup, 0);
}

}  // namespace platform
