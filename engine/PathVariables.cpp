#include "engine/PathVariables.h"

#include "base/ByteStringList.h"
#include "engine/EngineValues.h"
#include "engine/FolderAccess.h"
#include "engine/InstallScope.h"
#include "engine/ErrorList.h"
#include "engine/RegistryValues.h"
#include "engine/RunJournal.h"
#include "base/TextBasics.h"
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

enum class Source { ProgramFiles, Desktop, StartMenu, PgmPath, DataPath, MyStartMenu };

struct PathVariable {
  const char* name;
  Source source;
};

// In this order: a system folder is looked up only when its variable occurs.
const PathVariable kPathVariables[] = {
    {"*Programs*", Source::ProgramFiles}, {"*Desktop*", Source::Desktop},
    {"*StartMenu*", Source::StartMenu},   {"*PgmPath*", Source::PgmPath},
    {"*DataPath*", Source::DataPath},     {"*MyStartMenu*", Source::MyStartMenu},
};

// The value of a variable; false for a setting without value.
bool VariableValue(Source source, ByteString& value) {
  switch (source) {
    // A per-user run puts the program, its shortcuts and its desktop icon
    // into the user's own folders.
    case Source::ProgramFiles: value = PerUserRun() ? UserProgramsFolder() : ProgramFilesFolder(); return true;
    case Source::Desktop:
      value = PerUserRun() ? SpecialFolderPath(platform::kCsidlDesktopDirectory) : CommonDesktopFolder();
      return true;
    case Source::StartMenu:
      value = PerUserRun() ? SpecialFolderPath(platform::kCsidlPrograms) : CommonProgramsFolder();
      return true;
    case Source::PgmPath: value = PgmPath; break;
    case Source::DataPath: value = DataPath; break;
    case Source::MyStartMenu: value = MyStartMenu; break;
  }
  return !value.empty();
}

ByteString WithoutTrailingBackslashes(const ByteString& path) {
  std::size_t end = path.size();
  while (end > 0 && path[end - 1] == '\\') --end;
  return path.substr(0, end);
}

}  // namespace

void ExpandPathVariables(ByteString& text) {
  for (const PathVariable& variable : kPathVariables) {
    const ByteString name = variable.name;
    const std::size_t at = text.find(name);
    if (at == ByteString::npos) continue;
    ByteString value;
    if (VariableValue(variable.source, value)) {
      text.replace(at, name.size(), value);
    } else {
      text.erase(at, name.size());
      AddError("no def for " + name);
    }
  }
  // A value ending in "\" followed by "\" in the command gives a pair; pairs
  // are reduced from the third character on, so that a leading "\\" of a
  // network path stays. The first three characters never change.
  if (text.size() > 3) {
    ByteString reduced = text.substr(0, 3);
    for (std::size_t i = 3; i < text.size(); ++i) {
      if (text[i] == '\\' && reduced.back() == '\\') continue;
      reduced += text[i];
    }
    text = std::move(reduced);
  }
}

void ExpandFolder(ByteString& text) {
  ExpandPathVariables(text);
  if (!text.empty() && text.back() != '\\') text += '\\';
}

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

ByteString ParentFolderOf(const ByteString& path) {
  const std::size_t last = path.find_last_of("\\:");
  if (last == ByteString::npos) return ByteString();
  std::size_t length = last + 1;
  if (last > 0 && path[last] == '\\' && path[last - 1] != '\\' && path[last - 1] != ':')
    length = last;
  return path.substr(0, length);
}

bool CreateFolderChain(const ByteString& path) {
  // Walks up to the first folder that exists (or a root), then creates the
  // missing folders top-down. Iterative, so that no path can exhaust the stack.
  std::vector<ByteString> missing;
  ByteString current = WithoutTrailingBackslashes(path);
  while (current.size() >= 3 && !FolderExists(current)) {
    ByteString parent = ParentFolderOf(current);
    if (parent == current) break;
    missing.push_back(current);
    current = WithoutTrailingBackslashes(parent);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!JournalMakeFolder(*it)) return false;
  }
  return true;
}

namespace {

// The folder is the data folder or lies below it.
bool InDataFolder(const ByteString& folder) {
  const ByteString data = AsciiLower(WithoutTrailingBackslashes(DataPath));
  const ByteString lower = AsciiLower(folder);
  return !data.empty() && (lower == data || StartsWith(lower, data + "\\"));
}

}  // namespace

bool EnsureFolder(const ByteString& path) {
  const ByteString folder = WithoutTrailingBackslashes(path);
  if (folder.empty()) return false;
  if (CreatedFolders->PositionOf(folder) >= 0) return true;
  if (!CreateFolderChain(folder)) return false;
  CreatedFolders->Add(folder);
  // The users may change only the data folder and what lies below it, and
  // only where this run made it: a folder that existed keeps its access, and
  // below a granted folder the access is inherited. A folder that stays
  // closed is no failure.
  std::vector<ByteString> chain;
  for (ByteString current = folder; current.size() >= 3 && InDataFolder(current);
       current = WithoutTrailingBackslashes(ParentFolderOf(current)))
    chain.push_back(current);
  // A per-user installation is the user's own: nobody else is let in.
  if (PerUserRun()) chain.clear();
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!FolderMadeByThisRun(*it)) continue;
    GrantFolderAccessAtCommit(*it);
    break;
  }
  return true;
}
