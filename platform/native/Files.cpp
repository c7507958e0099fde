// Files and folders on a POSIX host. Windows paths are mapped: "X:\a\b"
// becomes <root>/X/a/b, every "\" a "/". Attributes follow Windows' meaning
// as far as a POSIX file can carry it (folder, read-only, normal).
#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <set>
#include <vector>

namespace platform {

namespace {

ByteString gDriveRoot;

bool IsDriveLetterPath(const ByteString& path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// Windows wildcard match ('*' any run, '?' one character), case-insensitive.
bool WildcardMatch(const char* pattern, const char* name) {
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name) {
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
    } else if (*pattern == '?' ||
               std::tolower(static_cast<unsigned char>(*pattern)) ==
                   std::tolower(static_cast<unsigned char>(*name))) {
      ++pattern;
      ++name;
    } else if (starPattern) {
      pattern = starPattern;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

uint32_t AttributesOf(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return kAttrDirectory;
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return kAttrReadOnly;
  return kAttrNormal;
}

void FillFindData(const struct stat& info, const ByteString& name, FindData& data) {
  data.attributes = AttributesOf(info);
  const uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
  data.sizeHigh = static_cast<uint32_t>(size >> 32);
  data.sizeLow = static_cast<uint32_t>(size & 0xFFFFFFFFu);
  data.lastWrite = static_cast<int64_t>(info.st_mtime);
  data.name = name;
}

}  // namespace

void SetNativeDriveRoot(const ByteString& root) { gDriveRoot = root; }

ByteString NativePath(const ByteString& path) {
  ByteString mapped;
  if (IsDriveLetterPath(path)) {
    mapped = gDriveRoot + "/" + path[0] + path.substr(2);
  } else {
    mapped = path;
  }
  for (char& c : mapped)
    if (c == '\\') c = '/';
  return mapped;
}

std::vector<ByteString> NamesIn(const ByteString& folder, const ByteString& prefix) {
  std::vector<ByteString> names;
  DIR* dir = opendir(NativePath(folder).c_str());
  if (!dir) return names;
  const auto lower = [](ByteString text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  while (const dirent* entry = readdir(dir)) {
    const ByteString name = entry->d_name;
    if (name != "." && name != ".." && lower(name).rfind(lower(prefix), 0) == 0) names.push_back(name);
  }
  closedir(dir);
  return names;
}

bool FindFirst(const ByteString& path, FindData& data) {
  data = FindData();
  if (path.empty()) return false;
  const ByteString native = NativePath(path);
  const std::size_t slash = native.find_last_of('/');
  const ByteString folder = slash == ByteString::npos ? "." : (slash == 0 ? "/" : native.substr(0, slash));
  const ByteString pattern = slash == ByteString::npos ? native : native.substr(slash + 1);
  if (pattern.empty()) return false;  // "C:\dir\" finds nothing, as on Windows

  if (pattern.find_first_of("*?") == ByteString::npos) {
    struct stat info;
    if (stat(native.c_str(), &info) != 0) return false;
    FillFindData(info, pattern, data);
    return true;
  }

  // Wildcards: the first match in name order, as an NTFS folder lists them.
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  ByteString best;
  bool found = false;
  while (struct dirent* entry = readdir(dir)) {
    if (WildcardMatch(pattern.c_str(), entry->d_name) && (!found || best > entry->d_name)) {
      best = entry->d_name;
      found = true;
    }
  }
  closedir(dir);
  if (!found) return false;
  struct stat info;
  if (stat((folder + "/" + best).c_str(), &info) != 0) return false;
  FillFindData(info, best, data);
  return true;
}

uint32_t FileAttributesOf(const ByteString& path) {
  struct stat info;
  if (path.empty() || stat(NativePath(path).c_str(), &info) != 0) return kInvalidFileAttributes;
  return AttributesOf(info);
}

int64_t SizeOfFile(const ByteString& path) {
  struct stat info;
  if (path.empty() || stat(NativePath(path).c_str(), &info) != 0) return -1;
  return S_ISDIR(info.st_mode) ? 0 : static_cast<int64_t>(info.st_size);
}

bool ChangeFileAttributes(const ByteString& path, uint32_t attributes) {
  NativeChangePoint();
  const ByteString native = NativePath(path);
  struct stat info;
  if (path.empty() || stat(native.c_str(), &info) != 0) return false;
  mode_t mode = info.st_mode & 07777;
  if (!S_ISDIR(info.st_mode)) {
    mode = (attributes & kAttrReadOnly) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  }
  return chmod(native.c_str(), mode) == 0;
}

bool MakeDirectory(const ByteString& path) {
  NativeChangePoint();
  return !path.empty() && mkdir(NativePath(path).c_str(), 0777) == 0;
}

bool RemoveFile(const ByteString& path) {
  NativeChangePoint();
  // DeleteFileA refuses read-only files; a POSIX unlink would not.
  const uint32_t attributes = FileAttributesOf(path);
  if (attributes == kInvalidFileAttributes || (attributes & (kAttrReadOnly | kAttrDirectory))) return false;
  return unlink(NativePath(path).c_str()) == 0;
}

bool RemoveEmptyDirectory(const ByteString& path) {
  NativeChangePoint();
  return !path.empty() && rmdir(NativePath(path).c_str()) == 0;
}

bool ReadFileExactly(const ByteString& path, char* buffer, std::size_t size) {
  if (path.empty()) return false;
  const int fd = open(NativePath(path).c_str(), O_RDONLY);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, buffer + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  close(fd);
  return done == size;
}

bool WriteNewFile(const ByteString& path, const char* data, std::size_t size) {
  NativeChangePoint();
  if (path.empty()) return false;
  const ByteString native = NativePath(path);
  // CreateFileA with CREATE_ALWAYS fails on a read-only file.
  if (access(native.c_str(), F_OK) == 0 && (FileAttributesOf(path) & kAttrReadOnly)) return false;
  const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = write(fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<std::size_t>(put);
  }
  const bool closed = close(fd) == 0;
  return done == size && closed;
}

ReadHandle OpenForReading(const ByteString& path) {
  if (path.empty()) return 0;
  const int fd = open(NativePath(path).c_str(), O_RDONLY);
  return fd < 0 ? 0 : static_cast<ReadHandle>(fd) + 1;
}

int64_t SizeOfOpenFile(ReadHandle file) {
  struct stat info;
  if (!file || fstat(static_cast<int>(file - 1), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

std::size_t ReadAt(ReadHandle file, uint64_t offset, char* buffer, std::size_t size) {
  if (!file) return 0;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(static_cast<int>(file - 1), buffer + done, size - done,
                              static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void CloseReading(ReadHandle file) {
  if (file) close(static_cast<int>(file - 1));
}

// --- Changes made through the run's journal ---

namespace {
std::set<ByteString> gHeldFiles;  // native paths
int64_t gFreeSpace = -1;
}  // namespace

void SetNativeHeldFile(const ByteString& path, bool held) {
  if (held) gHeldFiles.insert(NativePath(path));
  else gHeldFiles.erase(NativePath(path));
}

void SetNativeFreeSpace(int64_t bytes) { gFreeSpace = bytes; }

namespace {
void (*gChangeHook)(uint64_t) = nullptr;
uint64_t gChangePoints = 0;
}  // namespace

void SetNativeChangeHook(void (*hook)(uint64_t point)) {
  gChangeHook = hook;
  gChangePoints = 0;
}

void NativeChangePoint() {
  ++gChangePoints;
  if (gChangeHook) gChangeHook(gChangePoints);
}

namespace {

// A new file (O_EXCL) with every byte. False when it could not be made
// (`made` false) or not written completely (`full` when the volume had no
// room): the cut-off file is left for the caller to remove.
bool WriteExclusive(const ByteString& native, const char* data, std::size_t size, bool& made, bool& full) {
  full = false;
  const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  made = fd >= 0;
  if (!made) return false;
  // The test's volume limit counts what is written now.
  full = gFreeSpace >= 0 && static_cast<uint64_t>(gFreeSpace) < size;
  std::size_t done = 0;
  while (!full && done < size) {
    const ssize_t put = write(fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      full = errno == ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  return close(fd) == 0 && done == size && !full;
}

}  // namespace

bool WriteFileAsNew(const ByteString& path, const char* data, std::size_t size, WriteFailure* why) {
  NativeChangePoint();
  if (why) *why = WriteFailure::Other;
  if (path.empty()) return false;
  const ByteString native = NativePath(path);
  bool made = false, full = false;
  if (!WriteExclusive(native, data, size, made, full)) {
    if (made) unlink(native.c_str());
    if (why && full) *why = WriteFailure::DiskFull;
    return false;
  }
  if (gFreeSpace >= 0) gFreeSpace -= static_cast<int64_t>(size);
  if (why) *why = WriteFailure::None;
  return true;
}

bool WriteThenPlace(const ByteString& temporary, const ByteString& target, const char* data, std::size_t size,
                    const std::function<bool()>& beforePlacing, WriteFailure* why) {
  NativeChangePoint();
  if (why) *why = WriteFailure::Other;
  if (temporary.empty() || target.empty()) return false;
  const ByteString native = NativePath(temporary);
  bool made = false, full = false;
  const bool written = WriteExclusive(native, data, size, made, full);
  if (!made) return false;
  const bool allowed = written && (!beforePlacing || beforePlacing());
  if (allowed) NativeChangePoint();
  if (!allowed || rename(native.c_str(), NativePath(target).c_str()) != 0) {
    unlink(native.c_str());
    if (why && full) *why = WriteFailure::DiskFull;
    return false;
  }
  if (gFreeSpace >= 0) gFreeSpace -= static_cast<int64_t>(size);
  if (why) *why = WriteFailure::None;
  return true;
}

bool RenameFile(const ByteString& from, const ByteString& to, bool replace) {
  NativeChangePoint();
  if (from.empty() || to.empty()) return false;
  const ByteString target = NativePath(to);
  if (!replace && access(target.c_str(), F_OK) == 0) return false;
  return rename(NativePath(from).c_str(), target.c_str()) == 0;
}

bool FreeSpaceAt(const ByteString& path, uint64_t& bytes) {
  if (gFreeSpace >= 0) {
    bytes = static_cast<uint64_t>(gFreeSpace);
    return true;
  }
  ByteString folder = NativePath(path);
  struct statvfs info;
  while (statvfs(folder.empty() ? "/" : folder.c_str(), &info) != 0) {
    const std::size_t slash = folder.find_last_of('/');
    if (slash == ByteString::npos || folder.empty()) return false;
    folder.resize(slash);
  }
  bytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  return true;
}

bool FileIsHeld(const ByteString& path) { return gHeldFiles.count(NativePath(path)) > 0; }

bool RemoveAtRestart(const ByteString& path) {
  // No restart comes natively: the file stays, and the request is kept for tests.
  NativeRestartRemovals().push_back(path);
  return true;
}

std::vector<ByteString>& NativeRestartRemovals() {
  static std::vector<ByteString> removals;
  return removals;
}

AppendHandle CreateAppendFile(const ByteString& path) {
  if (path.empty()) return 0;
  const int fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND, 0600);
  return fd < 0 ? 0 : static_cast<AppendHandle>(fd) + 1;
}

bool AppendBytes(AppendHandle file, const char* data, std::size_t size) {
  NativeChangePoint();
  if (!file) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = write(static_cast<int>(file - 1), data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

void CloseAppend(AppendHandle file) {
  if (file) close(static_cast<int>(file - 1));
}

}  // namespace platform
