// The handle-based file services of platform/Files.h on a POSIX host.
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

ReadHandle DuplicateReading(ReadHandle file) {
  if (!file) return 0;
  const int copy = dup(static_cast<int>(file - 1));
  return copy < 0 ? 0 : static_cast<ReadHandle>(copy) + 1;
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

}  // namespace platform
