#include "engine/Uninstaller.h"

#include <cstdio>
#include "base/TextBasics.h"
#include "base/ByteStringList.h"
#include "engine/EngineValues.h"
#include "engine/FileWriting.h"
#include "engine/InstalledFiles.h"
#include "engine/PathVariables.h"
#include "engine/RegistryValues.h"
#include "engine/RunJournal.h"
#include "engine/UninstallMerge.h"
#include "package/ProgramImage.h"
#include "package/WholeFiles.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Registry.h"

const char* const kUninstallRoot = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

using platform::Hive;
using platform::RegKey;

ByteString TwoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

ByteString FourDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", value);
  return text;
}

// " yyyy-mm-dd hh.nn.ss"
ByteString KeyTimeSuffix(const platform::LocalTime& t) {
  return " " + FourDigits(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " +
         TwoDigits(t.hour) + "." + TwoDigits(t.minute) + "." + TwoDigits(t.second);
}

// "yyyymmdd", the form package managers read.
ByteString InstallDate(const platform::LocalTime& t) {
  return FourDigits(t.year) + TwoDigits(t.month) + TwoDigits(t.day);
}

// "dd.mm.yyyy"
ByteString DisplayDate(const platform::LocalTime& t) {
  return TwoDigits(t.day) + "." + TwoDigits(t.month) + "." + FourDigits(t.year);
}

ByteString FileNamePart(const ByteString& path) {
  const std::size_t separator = path.find_last_of("\\:");
  return separator == ByteString::npos ? path : path.substr(separator + 1);
}

// name=value in UninstallValues; an empty value removes the entry.
void SetUninstallValue(const ByteString& name, const ByteString& value) {
  const int32_t position = UninstallValues->PositionOfName(name);
  if (value.empty()) {
    if (position >= 0) UninstallValues->DeleteAt(position);
  } else if (position >= 0) {
    UninstallValues->SetItemText(position, name + "=" + value);
  } else {
    UninstallValues->Add(name + "=" + value);
  }
}

// An earlier installation's entry names the uninstaller this run writes.
bool gEntryNamesThisUninstaller = false;

// The entry's values as the uninst line gives them. They are written (each
// through the run's journal) only once the uninstaller is complete: the
// system never lists an installation whose uninstaller cannot remove it.
struct EntryValues {
  struct Value {
    ByteString name;
    ByteString text;  // for a string
    uint32_t number;  // for a DWORD
    bool isNumber;
  };
  ByteString key;
  std::vector<Value> values;
  void SetString(const ByteString& name, const ByteString& value) { values.push_back({name, value, 0, false}); }
  void SetDword(const ByteString& name, uint32_t value) { values.push_back({name, ByteString(), value, true}); }
  void Write() const {
    for (const Value& value : values) {
      const bool written = value.isNumber ? JournalSetDword(ScopeHive(), key, value.name, value.number)
                                          : JournalSetString(ScopeHive(), key, value.name, value.text);
      if (!written) return;
    }
  }
};
// Of the uninst lines of this run, until the uninstaller is written.
std::vector<EntryValues> gPendingEntries;

// Of the entries `names`, the first one of an earlier installation of
// `product` into the place `quotedPath`; later such entries are deleted.
// Empty when there is none.
ByteString ReuseEarlierEntry(const std::vector<ByteString>& names, const ByteString& product,
                             const ByteString& quotedPath) {
  const ByteString prefix = product + " ";
  ByteString reused;
  for (const ByteString& name : names) {
    if (!StartsWith(name, prefix)) continue;
    const ByteString path = ByteString(kUninstallRoot) + "\\" + name;
    RegKey key = 0;
    if (!platform::RegOpen(ScopeHive(), path, false, key)) continue;
    ByteString command;
    try {
      command = ReadRegistryString(key, "UninstallString");
    } catch (...) {
      platform::RegClose(key);
      throw;
    }
    platform::RegClose(key);
    if (!StartsWith(command, quotedPath)) continue;
    if (reused.empty())
      reused = name;
    else
      JournalDeleteKeyTree(ScopeHive(), path);
  }
  return reused;
}

// The size of the files written so far, in KiB rounded up.
uint32_t WrittenKiB() {
  uint64_t bytes = 0;
  for (int32_t i = 0; i < WrittenFiles->Count(); ++i) {
    const int64_t size = WrittenFileSize(i);
    if (size > 0) bytes += static_cast<uint64_t>(size);
  }
  const uint64_t kib = (bytes + 1023) / 1024;
  return kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kib);
}

// A decimal number that fits a DWORD.
bool ParseDword(const ByteString& text, uint32_t& value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  if (number > 0xFFFFFFFFu) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

// The values by which Apps & Features and package managers show and match
// the installation. A value of the same name on the uninst line wins; paths
// given there may use path variables.
void WriteListingValues(EntryValues& entry, const CommandItems& items) {
  auto stringValue = [&](const char* name, ByteString fallback, bool isPath) {
    ByteString value = CommandValue(items, name);
    if (value.empty()) value = std::move(fallback);
    else if (isPath) ExpandPathVariables(value);
    if (!value.empty()) entry.SetString(name, value);
  };
  stringValue("DisplayVersion", Version, false);
  stringValue("DisplayIcon", Exec.empty() ? UninstallerPath : Exec, true);
  stringValue("InstallLocation", PgmPath.size() > 3 ? StripTrailingSeparator(PgmPath) : PgmPath, true);

  const ByteString size = CommandValue(items, "EstimatedSize");
  uint32_t kib = 0;
  if (size.empty()) entry.SetDword("EstimatedSize", WrittenKiB());
  else if (ParseDword(size, kib)) entry.SetDword("EstimatedSize", kib);
  else entry.SetString("EstimatedSize", size);
}

}  // namespace

bool RegisterUninstall(const CommandItems& items) {
  LoadOwnSections();
  if (SectionsState() != kSectionsLoaded) return true;

  gEntryNamesThisUninstaller = false;
  UninstallerPath = CommandValue(items, "pgm");
  if (UninstallerPath.empty()) UninstallerPath = "*PgmPath*\\uninstall.exe";
  ExpandPathVariables(UninstallerPath);
  // A placeholder reserves the file and its folder until the end of the run.
  if (!IsExistingFile(UninstallerPath) && !WriteWholeFile(UninstallerPath, StubPart())) return true;

  ByteString parameter = CommandValue(items, "param");
  if (parameter.empty()) parameter = "/uninst";
  ByteString product = CommandValue(items, "name");
  if (product.empty()) product = FileNamePart(Exec);
  if (product.empty()) return true;

  const platform::LocalTime now = platform::Now();
  ByteString uninstallKey = product + KeyTimeSuffix(now);
  parameter += " \"UninstallKey=" + uninstallKey + "\"";
  // The uninstaller of a per-user installation needs no elevation: it
  // knows from its command line for whom it removes.
  if (PerUserRun()) parameter += " /CURRENTUSER";
  const ByteString quotedPath = UninstallerPath.find(' ') == ByteString::npos
                                    ? UninstallerPath
                                    : "\"" + UninstallerPath + "\"";
  const ByteString uninstallString = quotedPath + " " + parameter;

  // For all users, without administrator rights this fails; there is no
  // other hive to fall back to. A user's hive may not have the key yet: the
  // entry's first value makes it.
  RegKey root = 0;
  std::vector<ByteString> names;
  if (platform::RegOpen(ScopeHive(), kUninstallRoot, true, root)) {
    names = platform::RegSubkeyNames(root);
    platform::RegClose(root);
  } else if (!PerUserRun()) {
    return true;
  }
  const ByteString reused = ReuseEarlierEntry(names, product, quotedPath);
  if (!reused.empty()) uninstallKey = reused;
  gEntryNamesThisUninstaller = !reused.empty();

  gPendingEntries.push_back(EntryValues{ByteString(kUninstallRoot) + "\\" + uninstallKey, {}});
  EntryValues& entry = gPendingEntries.back();
  entry.SetString("DisplayName", product + " (Installation " + DisplayDate(now) + ")");
  SetUninstallValue("UninstallKey", uninstallKey);
  entry.SetString("UninstallString", uninstallString);
  entry.SetString("QuietUninstallString", uninstallString + " /S");
  for (const char* name : {"Publisher", "URLInfoAbout", "HelpLink", "URLUpdateInfo", "RegOwner"}) {
    const ByteString value = CommandValue(items, name);
    if (!value.empty()) entry.SetString(name, value);
  }
  ByteString readme = CommandValue(items, "Readme");
  if (!readme.empty()) {
    ExpandPathVariables(readme);
    if (IsExistingFile(readme)) entry.SetString("Readme", readme);
  }
  WriteListingValues(entry, items);
  entry.SetString("InstallDate", InstallDate(now));
  entry.SetDword("NoModify", 1);
  entry.SetDword("NoRepair", 1);
  return true;
}

ByteString BuildUninstallInfo() {
  ByteString info;
  for (int32_t i = 0; i < UninstallValues->Count(); ++i) info += UninstallValues->ItemText(i) + "\r\n";
  for (int32_t i = 0; i < WrittenFiles->Count(); ++i) info += "file=" + WrittenFiles->ItemText(i) + "\r\n";
  // Descending order: a subfolder's line comes before its parent's.
  for (int32_t i = CreatedFolders->Count() - 1; i >= 0; --i)
    info += "dir=" + CreatedFolders->ItemText(i) + "\r\n";
  return info;
}

bool CreateUninstaller() {
  const std::vector<EntryValues> entries = std::move(gPendingEntries);
  gPendingEntries.clear();
  if (UninstallerPath.empty() || StubPart().empty()) return true;
  SetUninstallValue("Lng", Lng);
  // The installation's folders: the uninstaller removes nothing outside them
  // (but the shortcuts it recorded).
  SetUninstallValue("PgmPath", PgmPath);
  SetUninstallValue("DataPath", DataPath);
  SetUninstallValue("MyStartMenu", MyStartMenu);
  // Where the uninstall removes the entry and the product key.
  SetUninstallValue("Scope", PerUserRun() ? "user" : "");
  // The uninstaller is this run's file, also where it replaces an earlier
  // one whose information cannot be merged (damaged): then nothing else
  // would name it or its folder.
  EnsureFolder(ParentFolderOf(UninstallerPath));
  if (WrittenFiles->PositionOf(UninstallerPath) < 0) WrittenFiles->Add(UninstallerPath);
  // Over an earlier installation, its uninstaller is still in place here.
  // Only the one its registered entry names is merged: any other file of
  // that name in the chosen folder could say anything.
  const ByteString earlier = gEntryNamesThisUninstaller ? EarlierUninstallInfo(UninstallerPath) : ByteString();
  const ByteString compressed = CompressBytes(MergeUninstallInfo(BuildUninstallInfo(), earlier), 2);

  ByteString sections = BuildSection(kSectionBeginningMark, std::string_view());
  if (!LngData.empty()) sections += BuildSection(kSectionSetupLng, LngData);
  sections += BuildSection(kSectionUninst, compressed);
  // Made in one buffer of its final size: the stub part is copied once.
  ByteString file;
  file.reserve(StubPart().size() + sections.size());
  file.append(StubPart()).append(sections);
  // A signed setup's header still names its certificate table, which lay
  // behind sections this file does not have.
  DropImageCertificate(file);
  if (!WriteWholeFile(UninstallerPath, file)) return false;
  for (const EntryValues& entry : entries) entry.Write();
  return true;
}
