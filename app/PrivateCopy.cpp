#include "app/PrivateCopy.h"

#include <windows.h>
#include <sddl.h>

#include <cstdio>

#include "platform/Files.h"
#include "platform/win32/ProcessAccount.h"
#include "platform/win32/SystemCalls.h"

const char* const kPrivateCopyFolderPrefix = "QuillonUninstall-";

namespace {

constexpr int kFolderAttempts = 4;

// 16 hexadecimal digits from the system's random number generator; empty
// without it.
ByteString RandomName() {
  unsigned char bytes[8] = {};
  if (!platform::SystemRandomBytes(bytes, sizeof bytes)) return ByteString();
  char text[sizeof bytes * 2 + 1];
  for (std::size_t i = 0; i < sizeof bytes; ++i) std::snprintf(text + 2 * i, 3, "%02x", bytes[i]);
  return text;
}

bool ReadsBack(platform::ReadHandle file, std::string_view bytes) {
  if (platform::SizeOfOpenFile(file) != static_cast<int64_t>(bytes.size())) return false;
  ByteString content(bytes.size(), '\0');
  return bytes.empty() || (platform::ReadAt(file, 0, &content[0], content.size()) == bytes.size() && content == bytes);
}

}  // namespace

ByteString PrivateFolderAccess() {
  const ByteString user = ProcessAccount().SidText();
  if (user.empty()) return ByteString();
  return "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + ")";
}

ByteString TemporaryFolder() {
  using GetTempPathFn = DWORD(WINAPI*)(DWORD, LPSTR);
  GetTempPathFn getTempPath = SystemCall<GetTempPathFn>("kernel32.dll", "GetTempPath2A");
  if (!getTempPath) getTempPath = GetTempPathA;
  char folder[MAX_PATH + 1] = {};
  const DWORD length = getTempPath(sizeof folder, folder);
  if (length == 0 || length > MAX_PATH) return ByteString();
  ByteString path(folder, length);
  if (path.back() != '\\') path += '\\';
  return path;
}

PrivateProgramCopy::~PrivateProgramCopy() { Release(); }

void PrivateProgramCopy::Release() {
  platform::CloseReading(held_);
  held_ = 0;
}

bool PrivateProgramCopy::Create(const ByteString& fileName, std::string_view bytes) {
  Remove();
  const ByteString temp = TemporaryFolder();
  const ByteString access = PrivateFolderAccess();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (temp.empty() || access.empty() || bytes.size() > MAXDWORD ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorA(access.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  // An existing folder is never used, whoever made it: another random name.
  for (int attempt = 0; attempt < kFolderAttempts && folder_.empty(); ++attempt) {
    const ByteString name = RandomName();
    if (name.empty()) break;
    const ByteString folder = temp + kPrivateCopyFolderPrefix + name;
    if (CreateDirectoryA(folder.c_str(), &attributes)) folder_ = folder;
    else if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  LocalFree(descriptor);
  if (folder_.empty()) return false;

  file_ = folder_ + "\\" + fileName;
  // A handle that writes would keep the system from starting the file; one
  // that reads without sharing writing or deleting keeps it as checked here
  // until it runs.
  if (platform::WriteFileAsNew(file_, bytes.data(), bytes.size())) held_ = platform::OpenForReading(file_);
  if (!held_ || !ReadsBack(held_, bytes)) {
    Remove();
    return false;
  }
  return true;
}

bool PrivateProgramCopy::Start(const ByteString& commandLine) {
  if (!held_) return false;
  char system[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryA(system, sizeof system);
  if (length == 0 || length > MAX_PATH) return false;
  ByteString line = commandLine;  // CreateProcessA may write to it
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const bool started = CreateProcessA(file_.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      system, &startup, &process) != FALSE;
  Release();
  if (!started) return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void PrivateProgramCopy::Remove() {
  Release();
  if (!file_.empty()) platform::RemoveFile(file_);
  if (!folder_.empty()) platform::RemoveEmptyDirectory(folder_);
  file_.clear();
  folder_.clear();
}
