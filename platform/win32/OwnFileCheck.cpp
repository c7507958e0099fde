#include "platform/OwnFileCheck.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include "platform/win32/SystemCalls.h"

namespace platform {
namespace {

// The data view and the image view are of the same file only when the file
// is the image's own: a copy of the same bytes is another file.
bool IsRunningImagesFile(HANDLE file) {
  using SameFilesFn = LONG(NTAPI*)(PVOID, PVOID);
  // In ntdll of every NT system; without it nothing proves the file.
  const auto same = SystemCall<SameFilesFn>("ntdll.dll", "NtAreMappedFilesTheSame");
  if (!same) return false;
  const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) return false;
  // One page is view enough, and a large package needs no address space.
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1);
  const bool isSame = view && same(GetModuleHandleA(nullptr), view) == 0;
  if (view) UnmapViewOfFile(view);
  CloseHandle(mapping);
  return isSame;
}

// The certificate table itself is not mapped, but the header's entry for it is.
bool RunningImageIsSigned() {
  const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& table = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
  return table.VirtualAddress != 0 && table.Size != 0;
}

bool SignatureVerifies(HANDLE file) {
  wchar_t path[MAX_PATH + 1] = {};  // named for the policy's messages only: the handle is what is read
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = path;
  fileInfo.hFile = file;
  WINTRUST_DATA trust = {};
  trust.cbStruct = sizeof trust;
  trust.dwUIChoice = WTD_UI_NONE;
  // No checks beyond the ones the machine's Authenticode policy asks for.
  trust.fdwRevocationChecks = WTD_REVOKE_NONE;
  trust.dwUnionChoice = WTD_CHOICE_FILE;
  trust.pFile = &fileInfo;
  trust.dwStateAction = WTD_STATEACTION_IGNORE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  // Loaded only here: the other runs need none of it, and its libraries
  // cost every start time. Without it nothing verifies the file.
  using VerifyFn = LONG(WINAPI*)(HWND, GUID*, LPVOID);
  const auto verify = CallIn<VerifyFn>(SystemModule("wintrust.dll"), "WinVerifyTrust");
  return verify && verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &trust) == ERROR_SUCCESS;
}

}  // namespace

OwnFileVerdict CheckOwnFile(ReadHandle file) {
  const HANDLE handle = reinterpret_cast<HANDLE>(file);
  if (!file || !IsRunningImagesFile(handle)) return OwnFileVerdict::NotTheImagesFile;
  if (RunningImageIsSigned() && !SignatureVerifies(handle)) return OwnFileVerdict::SignatureRefused;
  return OwnFileVerdict::Same;
}

}  // namespace platform
