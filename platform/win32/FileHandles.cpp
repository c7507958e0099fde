// The file services of platform/Files.h that work on an open handle rather
// than by name: a second handle on the own file, and logs written at fixed
// paths without following what stands there.
#include "platform/Files.h"

#include <windows.h>

#include <limits>

namespace platform {

ReadHandle DuplicateReading(ReadHandle file) {
  if (!file) return 0;
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(file), GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return 0;
  return reinterpret_cast<ReadHandle>(copy);
}

bool SystemRandomBytes(void* buffer, std::size_t size) {
  // RtlGenRandom, exported by advapi32.dll as SystemFunction036.
  using GenRandomFn = BOOLEAN(WINAPI*)(PVOID, ULONG);
  static const auto generate = reinterpret_cast<GenRandomFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("advapi32.dll"), "SystemFunction036")));
  return generate && size <= std::numeric_limits<ULONG>::max() && generate(buffer, static_cast<ULONG>(size));
}

bool WriteLogFile(const ByteString& path, const char* data, std::size_t size) {
  if (path.empty() || size > std::numeric_limits<DWORD>::max()) return false;
  // OPEN_ALWAYS, not CREATE_ALWAYS: nothing is truncated before the checks.
  // A folder does not open at all without FILE_FLAG_BACKUP_SEMANTICS.
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  bool ok = GetFileInformationByHandle(file, &info) &&
            !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            info.nNumberOfLinks == 1;
  ok = ok && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(file);
  if (ok && size > 0) {
    DWORD put = 0;
    ok = WriteFile(file, data, static_cast<DWORD>(size), &put, nullptr) && put == size;
  }
  CloseHandle(file);
  return ok;
}

}  // namespace platform
