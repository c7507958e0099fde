// The handle-based file services of platform/Files.h on a POSIX host.
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/PathsBelow.h"

namespace platform {

ReadHandle DuplicateReading(ReadHandle file) {
  if (!file) return 0;
  const int copy = dup(static_cast<int>(file - 1));
  return copy < 0 ? 0 : static_cast<ReadHandle>(copy) + 1;
}

bool SystemRandomBytes(void* buffer, std::size_t size) {
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = read(fd, buffer, size) == static_cast<ssize_t>(size);
  close(fd);
  return ok;
}

bool WriteLogFile(const ByteString& path, const char* data, std::size_t size) {
  if (path.empty()) return false;
  // O_NOFOLLOW refuses a symbolic link; a folder does not open for writing.
  const int fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat info;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1 &&
            (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ftruncate(fd, 0) == 0;
  std::size_t done = 0;
  while (ok && done < size) {
    const ssize_t put = write(fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) ok = false;
    else done += static_cast<std::size_t>(put);
  }
  return close(fd) == 0 && ok;
}

namespace {

// The folder that holds the last name, reached from `trusted` one folder at
// a time without following a symbolic link (the host's reparse point).
// -1 with `result` set when it cannot be reached.
int OpenParentBelow(const ByteString& trusted, const std::vector<ByteString>& names, GuardedChange& result) {
  int folder = open(NativePath(trusted).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  result = GuardedChange::Failed;
  for (std::size_t i = 0; folder >= 0 && i + 1 < names.size(); ++i) {
    const int next = openat(folder, names[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info;
    if (next < 0 && fstatat(folder, names[i].c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
      result = GuardedChange::Refused;
    close(folder);
    folder = next;
  }
  return folder;
}

// The last name, not a symbolic link; `folderWanted` set when it is a folder.
GuardedChange CheckLast(int folder, const ByteString& name, bool* isFolder) {
  struct stat info;
  if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return GuardedChange::Failed;
  if (S_ISLNK(info.st_mode)) return GuardedChange::Refused;
  if (isFolder) *isFolder = S_ISDIR(info.st_mode);
  return GuardedChange::Done;
}

}  // namespace

GuardedChange RemoveBelow(const ByteString& trusted, const ByteString& path) {
  NativeChangePoint();
  std::vector<ByteString> names;
  if (!NamesBelow(trusted, path, names)) return GuardedChange::Refused;
  GuardedChange result;
  const int folder = OpenParentBelow(trusted, names, result);
  if (folder < 0) return result;
  bool isFolder = false;
  result = CheckLast(folder, names.back(), &isFolder);
  // As on Windows, a read-only file or one another program holds stays.
  struct stat info;
  if (result == GuardedChange::Done && !isFolder &&
      (FileIsHeld(path) || (fstatat(folder, names.back().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                            (info.st_mode & S_IWUSR) == 0)))
    result = GuardedChange::Failed;
  if (result == GuardedChange::Done && unlinkat(folder, names.back().c_str(), isFolder ? AT_REMOVEDIR : 0) != 0)
    result = GuardedChange::Failed;
  close(folder);
  return result;
}

GuardedChange RenameBelow(const ByteString& trusted, const ByteString& from, const ByteString& to, bool replace) {
  NativeChangePoint();
  std::vector<ByteString> names, targetNames;
  if (!NamesBelow(trusted, from, names) || !NamesBelow(trusted, to, targetNames) ||
      targetNames.size() != names.size() ||
      !std::equal(names.begin(), names.end() - 1, targetNames.begin()))
    return GuardedChange::Refused;
  GuardedChange result;
  const int folder = OpenParentBelow(trusted, names, result);
  if (folder < 0) return result;
  result = CheckLast(folder, names.back(), nullptr);
  struct stat info;
  if (result == GuardedChange::Done && !replace && fstatat(folder, targetNames.back().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
    result = GuardedChange::Failed;
  if (result == GuardedChange::Done &&
      renameat(folder, names.back().c_str(), folder, targetNames.back().c_str()) != 0)
    result = GuardedChange::Failed;
  close(folder);
  return result;
}

// The host cannot swap the path between the check and the change (no
// adversary natively): the attributes are then set by the checked name.
GuardedChange ChangeAttributesBelow(const ByteString& trusted, const ByteString& path, uint32_t attributes) {
  std::vector<ByteString> names;
  if (!NamesBelow(trusted, path, names)) return GuardedChange::Refused;
  GuardedChange result;
  const int folder = OpenParentBelow(trusted, names, result);
  if (folder < 0) return result;
  result = CheckLast(folder, names.back(), nullptr);
  close(folder);
  if (result != GuardedChange::Done) return result;
  return ChangeFileAttributes(path, attributes) ? GuardedChange::Done : GuardedChange::Failed;
}

// The host cannot hold a folder against renames: the way is checked once, before the change.
GuardedChange InHeldFolder(const ByteString& trusted, const ByteString& folder, const std::function<bool()>& change) {
  std::vector<ByteString> names;
  if (!NamesBelow(trusted, folder, names)) return GuardedChange::Refused;
  GuardedChange result;
  const int parent = OpenParentBelow(trusted, names, result);
  if (parent < 0) return result;
  bool isFolder = false;
  result = CheckLast(parent, names.back(), &isFolder);
  close(parent);
  if (result != GuardedChange::Done) return result;
  return isFolder && change() ? GuardedChange::Done : GuardedChange::Failed;
}

}  // namespace platform
