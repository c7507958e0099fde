// The process services of platform/Process.h on Win32.
#include "platform/Process.h"

#include <windows.h>
#include <restartmanager.h>
#include <shellapi.h>

#include "platform/win32/ComOnDemand.h"
#include "platform/win32/ProcessAccount.h"
#include "platform/win32/SystemCalls.h"

#include <string>

namespace platform {

ByteString ModuleFileName() {
  // MAX_PATH is enough for the usual paths; grow for longer ones.
  ByteString path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return ByteString();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return ByteString();
    path.assign(path.size() * 2, '\0');
  }
}

bool HasAdministratorRights() {
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                0, 0, &administrators))
    return false;
  BOOL member = FALSE;
  // The thread's effective token: a group that is only "deny" does not count.
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

namespace {

// The token's integrity level (the last part of its label's SID); -1 when unknown.
long IntegrityLevel(HANDLE token) {
  union {
    TOKEN_MANDATORY_LABEL label;
    char bytes[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
  } level = {};
  if (!ReadTokenInformation(token, TokenIntegrityLevel, level)) return -1;
  const PSID sid = level.label.Label.Sid;
  return static_cast<long>(*GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1));
}

}  // namespace

bool RunsElevated() {
  const ProcessToken token;
  if (!token.Handle()) return true;  // unknown: trust less
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  // Systems before UAC know no elevation type: no token there is raised.
  bool elevated = token.Read(TokenElevationType, type) && type == TokenElevationTypeFull;
  // Wine gives every program a full token whose linked one runs at the same
  // level: there no program of the user runs below this one.
  TOKEN_LINKED_TOKEN linked = {};
  if (elevated && token.Read(TokenLinkedToken, linked)) {
    const long own = IntegrityLevel(token.Handle()), user = IntegrityLevel(linked.LinkedToken);
    elevated = own < 0 || user < 0 || user < own;
    CloseHandle(linked.LinkedToken);
  }
  return elevated;
}

ElevatedRun RunElevatedAndWait(const ByteString& file, const ByteString& parameters, uint32_t& exitCode) {
  // The shell may hand the prompt to an extension it reaches through COM.
  StartComOnThisThread();
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = "runas";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
  static const auto shellExecute = SystemModuleCall<ShellExecuteExFn>("shell32.dll", "ShellExecuteExA");
  if (!shellExecute) return ElevatedRun::NotStarted;
  if (!shellExecute(&info))
    return GetLastError() == ERROR_CANCELLED ? ElevatedRun::Refused : ElevatedRun::NotStarted;
  if (!info.hProcess) return ElevatedRun::NotStarted;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  const BOOL known = GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  if (!known) return ElevatedRun::NotStarted;
  exitCode = code;
  return ElevatedRun::Ended;
}

ByteString CommandLine() {
  const char* line = GetCommandLineA();
  return line ? ByteString(line) : ByteString();
}

LocalTime Now() {
  SYSTEMTIME time = {};
  GetLocalTime(&time);
  LocalTime result;
  result.year = time.wYear;
  result.month = time.wMonth;
  result.day = time.wDay;
  result.hour = time.wHour;
  result.minute = time.wMinute;
  result.second = time.wSecond;
  return result;
}

void ShowErrorBox(const ByteString& text, const ByteString& caption) {
  using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
  static const auto messageBox = SystemModuleCall<MessageBoxFn>("user32.dll", "MessageBoxA");
  if (messageBox) messageBox(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
}

std::vector<ByteString> ProgramsHolding(const std::vector<ByteString>& files) {
  // The Restart Manager, looked up at run time from the system folder: older
  // systems lack it, and then nobody is named.
  std::vector<ByteString> programs;
  HMODULE manager = SystemModule("rstrtmgr.dll");
  if (!manager) return programs;
  using StartFn = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
  using EndFn = DWORD(WINAPI*)(DWORD);
  using RegisterFn = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, void*, UINT, LPCWSTR*);
  using ListFn = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
  const auto start = CallIn<StartFn>(manager, "RmStartSession");
  const auto end = CallIn<EndFn>(manager, "RmEndSession");
  const auto add = CallIn<RegisterFn>(manager, "RmRegisterResources");
  const auto list = CallIn<ListFn>(manager, "RmGetList");
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (start && end && add && list && start(&session, 0, key) == ERROR_SUCCESS) {
    std::vector<std::wstring> wide;
    for (const ByteString& file : files) {
      const int size = MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, nullptr, 0);
      std::wstring text(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
      if (size > 0) MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, &text[0], size);
      wide.push_back(text);
    }
    std::vector<LPCWSTR> names;
    for (const std::wstring& text : wide) names.push_back(text.c_str());
    if (add(session, static_cast<UINT>(names.size()), names.data(), 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
      UINT needed = 0, count = 0;
      DWORD reasons = 0;
      std::vector<RM_PROCESS_INFO> found(16);
      for (int attempt = 0; attempt < 4; ++attempt) {
        count = static_cast<UINT>(found.size());
        const DWORD status = list(session, &needed, &count, found.data(), &reasons);
        if (status == ERROR_MORE_DATA) {
          found.resize(needed + 4);
          continue;
        }
        if (status != ERROR_SUCCESS) count = 0;
        break;
      }
      for (UINT i = 0; i < count && i < found.size(); ++i) {
        char name[CCH_RM_MAX_APP_NAME * 2 + 1] = {};
        WideCharToMultiByte(CP_ACP, 0, found[i].strAppName, -1, name, sizeof name - 1, nullptr, nullptr);
        programs.emplace_back(name);
      }
    }
    end(session);
  }
  FreeLibrary(manager);
  return programs;
}

}  // namespace platform
