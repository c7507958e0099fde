// Files and folders through the ANSI Win32 file API.
#include "platform/Files.h"

#include <windows.h>

#include <limits>

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

}  // namespace platform
