// The native file services, compiled for the fuzz targets with every host
// file call confined to one folder: a fuzzed script or uninstall list names
// any path it likes ("\etc\x", "/tmp/y", "..\..\z"), and none of them may
// touch the machine outside the run's own folder. Calls outside the jail
// fail as a missing or forbidden file would.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <string>

#include "tests/fuzz/FuzzSupport.h"

namespace {

// Lexically below the jail: absolute, under its root, no "." or ".." step.
bool InJail(const char* path) {
  const std::string& root = fuzzsupport::JailRoot();
  if (root.empty() || !path) return false;
  const std::string p(path);
  if (p.compare(0, root.size(), root) != 0) return false;
  if (p.size() > root.size() && p[root.size()] != '/') return false;
  std::size_t i = root.size();
  while (i < p.size()) {
    while (i < p.size() && p[i] == '/') ++i;
    std::size_t end = p.find('/', i);
    if (end == std::string::npos) end = p.size();
    const std::string step = p.substr(i, end - i);
    if (step == "." || step == "..") return false;
    i = end;
  }
  return true;
}

int Refuse() {
  fuzzsupport::CountJailRefusal();
  errno = EACCES;
  return -1;
}

int JailOpen(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & O_CREAT) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  if (!InJail(path)) return Refuse();
  // Never block on a FIFO or a device a path might name.
  return ::open(path, flags | O_NOFOLLOW | O_NONBLOCK, mode);
}
int JailStat(const char* path, struct stat* info) { return InJail(path) ? ::lstat(path, info) : Refuse(); }
int JailAccess(const char* path, int mode) { return InJail(path) ? ::access(path, mode) : Refuse(); }
int JailMkdir(const char* path, mode_t mode) { return InJail(path) ? ::mkdir(path, mode) : Refuse(); }
int JailRmdir(const char* path) { return InJail(path) ? ::rmdir(path) : Refuse(); }
int JailUnlink(const char* path) { return InJail(path) ? ::unlink(path) : Refuse(); }
int JailChmod(const char* path, mode_t mode) { return InJail(path) ? ::chmod(path, mode) : Refuse(); }
DIR* JailOpendir(const char* path) {
  if (!InJail(path)) {
    Refuse();
    return nullptr;
  }
  return ::opendir(path);
}

}  // namespace

// Function-like macros: "struct stat" stays the type, "stat(" becomes the jail.
#define open(...) JailOpen(__VA_ARGS__)
#define stat(path, info) JailStat(path, info)
#define access(path, mode) JailAccess(path, mode)
#define mkdir(path, mode) JailMkdir(path, mode)
#define rmdir(path) JailRmdir(path)
#define unlink(path) JailUnlink(path)
#define chmod(path, mode) JailChmod(path, mode)
#define opendir(path) JailOpendir(path)

#include "platform/native/Files.cpp"
