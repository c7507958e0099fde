#include "engine/SystemFolders.h"

#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/RegistryValues.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

namespace {

// Keeps a registry key open for one scope; also when a read raises.
class KeyGuard {
public:
  explicit KeyGuard(platform::RegKey key) : key_(key) {}
  ~KeyGuard() { platform::RegClose(key_); }
  KeyGuard(const KeyGuard&) = delete;
  KeyGuard& operator=(const KeyGuard&) = delete;
private:
  platform::RegKey key_;
};

}  // namespace

ByteString ProgramFilesFolder() {
  ByteString result;
  platform::RegKey key = 0;
  if (platform::RegOpen(platform::Hive::LocalMachine,
                        "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false, key)) {
    KeyGuard guard(key);
    result = ReadRegistryString(key, "ProgramFilesDir");
    if (result.empty()) result = ReadRegistryString(key, "ProgramFilesPath");
  }
  if (!result.empty()) {
    if (result.back() != '\\') result += '\\';
    return result;
  }
  if (FolderExists("C:\\Programme\\")) return "C:\\Programme\\";
  return "C:\\Program Files\\";
}

ByteString SpecialFolderPath(int csidl) {
  return platform::SpecialFolder(OwnerWindow, csidl);
}

ByteString SpecialFolderBase(int csidl) { return WithoutTrailingBackslashes(SpecialFolderPath(csidl)); }

ByteString CommonDesktopFolder() {
  ByteString folder = SpecialFolderPath(platform::kCsidlCommonDesktop);
  if (folder.empty()) folder = ShellFolderValue("Desktop");
  return folder;
}

ByteString CommonProgramsFolder() {
  ByteString folder = SpecialFolderPath(platform::kCsidlCommonPrograms);
  if (folder.empty()) folder = ShellFolderValue("Programs");
  return folder;
}

ByteString ShellFolderValue(const ByteString& name) {
  ByteString result;
  const ByteString explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
  platform::RegKey key = 0;
  if (!platform::RegCreate(platform::Hive::CurrentUser, explorer, key)) return result;
  platform::RegClose(key);
  if (platform::RegOpen(platform::Hive::CurrentUser, explorer + "\\Shell Folders", false, key)) {
    KeyGuard guard(key);
    result = ReadRegistryString(key, name);
  }
  // The administrator's own folder stands for the folder of all users.
  const ByteString administrator = "\\Administrator\\";
  const std::size_t at = result.find(administrator);
  if (at != ByteString::npos) result.replace(at, administrator.size() - 1, "\\All Users");
  return result;
}

bool FolderExists(const ByteString& path) {
  const uint32_t attributes = platform::FileAttributesOf(path);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kAttrDirectory) != 0;
}

ByteString UserProgramsFolder() {
  ByteString folder = platform::KnownUserProgramFilesFolder();
  if (folder.empty()) {
    folder = SpecialFolderPath(platform::kCsidlLocalAppData);
    if (folder.empty()) return folder;
    if (folder.back() != '\\') folder += '\\';
    folder += "Programs";
  }
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

bool SystemHasUserProgramsFolder() { return !UserProgramsFolder().empty(); }
