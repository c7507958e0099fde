#include "base/TextBasics.h"
#include "engine/ProductSettings.h"

#include "engine/EngineValues.h"
#include "engine/InstalledFiles.h"
#include "engine/PathVariables.h"
#include "engine/RegistryValues.h"
#include "engine/RunJournal.h"
#include "platform/Files.h"
#include "platform/Registry.h"

namespace {

// Reads one string value of RegistryKey under a hive; empty when the key or
// the value is missing.
ByteString ReadSettingIn(platform::Hive hive, const ByteString& name) {
  platform::RegKey key = 0;
  if (!platform::RegOpen(hive, RegistryKey, false, key)) return ByteString();
  struct Closer {
    platform::RegKey key;
    ~Closer() { platform::RegClose(key); }
  } closer{key};
  return ReadRegistryString(key, name);
}

bool WriteSettingIn(platform::Hive hive, const ByteString& name, const ByteString& value) {
  return JournalSetString(hive, RegistryKey, name, value);
}

}  // namespace

namespace {

// A run for all users (the window before its elevation included, which
// hands the folders to its elevated copy) takes the settings that decide
// where it writes, what it starts and what it replaces from the machine
// alone, never from the user's hive, which the user's unelevated programs
// may change.
bool MachineOnly(const ByteString& name) {
  const ByteString lower = AsciiLower(name);
  return lower == "exec" || lower == "datapath" || lower == "ver";
}

}  // namespace

ByteString ReadProductSetting(const ByteString& name) {
  if (RegistryKey.empty() || name.empty()) return ByteString();
  // A per-user run finds only the user's own installation; one for all
  // users is a separate installation.
  if (PerUserRun()) return ReadSettingIn(platform::Hive::CurrentUser, name);
  if (MachineOnly(name)) return ReadSettingIn(platform::Hive::LocalMachine, name);
  // Any other setting: the user's own first.
  ByteString value = ReadSettingIn(platform::Hive::CurrentUser, name);
  if (value.empty()) value = ReadSettingIn(platform::Hive::LocalMachine, name);
  return value;
}

void WriteProductSetting(const ByteString& name, const ByteString& value) {
  if (RegistryKey.empty() || name.empty()) return;
  if (PerUserRun()) {
    WriteSettingIn(platform::Hive::CurrentUser, name, value);
    return;
  }
  // The machine first; without the rights for it, the user's hive.
  if (WriteSettingIn(platform::Hive::LocalMachine, name, value)) return;
  WriteSettingIn(platform::Hive::CurrentUser, name, value);
}

bool PathAction(const CommandItems& items) {
  const ByteString registry = CommandValue(items, "Registry");
  if (!registry.empty()) RegistryKey = "SOFTWARE\\" + registry;
  // The journal names the product's key: a replay changes no other (but the uninstall entries).
  if (!registry.empty() && !RecordChange("place", {RegistryKey, "key"})) return false;
  const ByteString version = CommandValue(items, "Version");
  if (!version.empty()) Version = version;
  if (Lng.empty()) Lng = LanguageCode(CommandValue(items, "Lng"));

  // An earlier installation's folders win over the defaults of the command.
  if (!RegistryKey.empty()) {
    if (PgmPath.empty()) {
      const ByteString exec = ReadProductSetting("Exec");
      const std::size_t slash = exec.rfind('\\');
      if (slash != ByteString::npos) PgmPath = exec.substr(0, slash + 1);
    }
    if (DataPath.empty()) DataPath = ReadProductSetting("DataPath");
  }

  // Development folders are never offered as an installation target.
  const ByteString lower = AsciiLower(PgmPath);
  if (StartsWith(lower, "c:\\sources\\") || StartsWith(lower, "s:\\apps\\")) {
    PgmPath.clear();
    DataPath.clear();
  }

  struct Default {
    const char* key;
    ByteString* setting;
  };
  for (const Default& folder : {Default{"PgmPath", &PgmPath}, Default{"DataPath", &DataPath},
                                Default{"MyStartMenu", &MyStartMenu}}) {
    if (!folder.setting->empty()) continue;
    ByteString value = CommandValue(items, folder.key);
    if (value.empty()) continue;
    ExpandFolder(value);
    *folder.setting = value;
    if (folder.setting == &DataPath) DataPathFromScript = true;
  }
  return true;
}

void FollowChosenProgramFolder() {
  // Cleared, the script's value is expanded anew by the full run's "path"
  // line, with the program folder then in place.
  if (DataPathFromScript) DataPath.clear();
}

ByteString NormalizeVersion(const ByteString& version) {
  ByteString text = TrimControls(version);
  const std::size_t dot = text.find('.');
  if (dot == ByteString::npos) return text;
  // At least two characters before the dot, at least five in all.
  if (dot < 2) text.insert(0, 2 - dot, '0');
  if (text.size() < 5) text.append(5 - text.size(), '0');
  return text;
}

bool NewerVersionInstalled() {
  if (Version.empty()) return false;
  const ByteString installedFile = ReadProductSetting("Exec");
  const ByteString installed = ReadProductSetting("Ver");
  if (installed.empty() || installedFile.empty() || !IsExistingFile(installedFile)) return false;
  const auto has = [](const ByteString& text, char c) { return text.find(c) != ByteString::npos; };
  if (has(Version, '.') && !has(installed, '.')) return false;
  if (has(Version, '-') && !has(installed, '-')) return false;
  // Ordinal, byte by byte; a proper prefix is smaller.
  return NormalizeVersion(installed).compare(NormalizeVersion(Version)) > 0;
}
