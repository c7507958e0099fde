#include "engine/PathVariables.h"

#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/SystemFolders.h"
#include "platform/Shell.h"

namespace {

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
    std::size_t kept = 3;
    for (std::size_t i = 3; i < text.size(); ++i) {
      if (text[i] == '\\' && text[kept - 1] == '\\') continue;
      text[kept++] = text[i];
    }
    text.resize(kept);
  }
}

void ExpandFolder(ByteString& text) {
  ExpandPathVariables(text);
  if (!text.empty() && text.back() != '\\') text += '\\';
}

ByteString ParentFolderOf(const ByteString& path) {
  const std::size_t last = path.find_last_of("\\:");
  if (last == ByteString::npos) return ByteString();
  std::size_t length = last + 1;
  if (last > 0 && path[last] == '\\' && path[last - 1] != '\\' && path[last - 1] != ':')
    length = last;
  return path.substr(0, length);
}
