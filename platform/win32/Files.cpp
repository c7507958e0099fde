// Files and folders through the ANSI Win32 file API.
#include "platform/Files.h"

#include <windows.h>

#include "platform/win32/SystemCalls.h"

#include <limits>
#include <vector>

namespace platform {

bool FindFirst(const ByteString& path, FindData& data) {
  data = FindData();
  WIN32_FIND_DATAA found;
  ZeroMemory(&found, sizeof(found));
  const HANDLE handle = FindFirstFileA(path.c_str(), &found);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FindClose(handle);
  data.attributes = found.dwFileAttributes;
  data.sizeHigh = found.nFileSizeHigh;
  data.sizeLow = found.nFileSizeLow;
  data.name = found.cFileName;
  return true;
}

uint32_t FileAttributesOf(const ByteString& path) {
  return GetFileAttributesA(path.c_str());
}

int64_t SizeOfFile(const ByteString& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool ChangeFileAttributes(const ByteString& path, uint32_t attributes) {
  return SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

bool MakeDirectory(const ByteString& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool RemoveFile(const ByteString& path) {
  return DeleteFileA(path.c_str()) != FALSE;
}

bool RemoveEmptyDirectory(const ByteString& path) {
  return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool ReadFileExactly(const ByteString& path, char* buffer, std::size_t size) {
  if (size > std::numeric_limits<DWORD>::max()) return false;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  const BOOL ok = ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr);
  CloseHandle(file);
  return ok && got == size;
}

bool WriteNewFile(const ByteString& path, const char* data, std::size_t size) {
  if (size > std::numeric_limits<DWORD>::max()) return false;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  if (size > 0) {
    DWORD put = 0;
    ok = WriteFile(file, data, static_cast<DWORD>(size), &put, nullptr) && put == size;
  }
  CloseHandle(file);
  return ok;
}

ReadHandle OpenForReading(const ByteString& path) {
  // Kept open for the whole run, sharing reading only: while it is open,
  // nobody can write the file, rename it or put another in its place (the
  // setup checks its data once and reads it again later).
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return file == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<ReadHandle>(file);
}

int64_t SizeOfOpenFile(ReadHandle file) {
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(reinterpret_cast<HANDLE>(file), &size)) return -1;
  return size.QuadPart;
}

std::size_t ReadAt(ReadHandle file, uint64_t offset, char* buffer, std::size_t size) {
  if (!file || size == 0) return 0;
  if (size > std::numeric_limits<DWORD>::max()) size = std::numeric_limits<DWORD>::max();
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(file), buffer, static_cast<DWORD>(size), &got, &at)) return 0;
  return got;
}

void CloseReading(ReadHandle file) {
  if (file) CloseHandle(reinterpret_cast<HANDLE>(file));
}

// --- Changes made through the run's journal ---

namespace {

// SetFileInformationByHandle with FileRenameInfo (Vista and later, looked up
// at run time): the rename needs no second open of the file.
// FILE_RENAME_INFO and FileRenameInfo, which the headers declare only for Vista and later.
struct RenameInformation {
  BOOL replaceIfExists;
  HANDLE rootDirectory;
  DWORD fileNameLength;
  WCHAR fileName[1];
};
constexpr int kFileRenameInfo = 3;

bool RenameOpenFile(HANDLE file, const ByteString& target) {
  using SetInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  static const auto setInformation = SystemCall<SetInformationFn>("kernel32.dll", "SetFileInformationByHandle");
  if (!setInformation) return false;
  const int length = MultiByteToWideChar(CP_ACP, 0, target.c_str(), static_cast<int>(target.size()), nullptr, 0);
  if (length <= 0) return false;
  std::vector<char> buffer(sizeof(RenameInformation) + static_cast<std::size_t>(length) * sizeof(WCHAR));
  auto* info = reinterpret_cast<RenameInformation*>(buffer.data());
  info->replaceIfExists = TRUE;
  info->rootDirectory = nullptr;
  info->fileNameLength = static_cast<DWORD>(length * sizeof(WCHAR));
  MultiByteToWideChar(CP_ACP, 0, target.c_str(), static_cast<int>(target.size()), info->fileName, length);
  return setInformation(file, kFileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace

bool WriteThenPlace(const ByteString& temporary, const ByteString& target, const char* data, std::size_t size,
                    const std::function<bool()>& beforePlacing, WriteFailure* why) {
  if (why) *why = WriteFailure::Other;
  if (size > std::numeric_limits<DWORD>::max()) return false;
  const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = true;
  if (size > 0) {
    DWORD put = 0;
    written = WriteFile(file, data, static_cast<DWORD>(size), &put, nullptr) && put == size;
  }
  const DWORD error = written ? ERROR_SUCCESS : GetLastError();
  const bool allowed = written && (!beforePlacing || beforePlacing());
  bool placed = allowed && RenameOpenFile(file, target);
  written = CloseHandle(file) && written;
  // Where the handle cannot rename, the file is renamed by its name.
  if (allowed && written && !placed) placed = MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (placed && written) {
    if (why) *why = WriteFailure::None;
    return true;
  }
  DeleteFileA((placed ? target : temporary).c_str());
  if (why && (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)) *why = WriteFailure::DiskFull;
  return false;
}

bool RenameFile(const ByteString& from, const ByteString& to, bool replace) {
  return MoveFileExA(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0) != FALSE;
}

bool FreeSpaceAt(const ByteString& path, uint64_t& bytes) {
  // The folder may not exist yet: ask the nearest one above it that does.
  ByteString folder = path;
  for (;;) {
    ULARGE_INTEGER available;
    if (GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) {
      bytes = available.QuadPart;
      return true;
    }
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    const std::size_t slash = folder.find_last_of('\\');
    if (slash == ByteString::npos || slash < 2) return false;
    folder.resize(slash + 1);
  }
}

bool FileIsHeld(const ByteString& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool RemoveAtRestart(const ByteString& path) {
  return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

AppendHandle CreateAppendFile(const ByteString& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<AppendHandle>(file);
}

bool AppendBytes(AppendHandle file, const char* data, std::size_t size) {
  if (!file || size > std::numeric_limits<DWORD>::max()) return false;
  DWORD put = 0;
  return WriteFile(reinterpret_cast<HANDLE>(file), data, static_cast<DWORD>(size), &put, nullptr) && put == size;
}

void CloseAppend(AppendHandle file) {
  if (file) CloseHandle(reinterpret_cast<HANDLE>(file));
}

}  // namespace platform
