#include "engine/JournalPlace.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>

#include "base/TextBasics.h"
#include "engine/Elevation.h"
#include "engine/EngineErrors.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/JournalFormat.h"
#include "engine/RegistryValues.h"
#include "engine/SystemFolders.h"
#include "engine/Uninstaller.h"
#include "platform/Process.h"
#include "platform/Security.h"
#include "platform/Shell.h"

namespace {

using platform::Hive;
using platform::RegKey;

constexpr const char* kAnchorValue = "RunJournal";
constexpr const char* kSetAsideValue = "RefusedJournal";
constexpr const char* kFolderPrefix = "QuillonSetup-";
constexpr const char* kAnchorName = "QuillonSetup";

// Where `hive`'s journals live: the common application data for the
// machine's, the user's local application data for the user's.
ByteString JournalBase(Hive hive) {
  return SpecialFolderBase(hive == Hive::LocalMachine ? platform::kCsidlCommonAppData : platform::kCsidlLocalAppData);
}

// `prefix` and a token as RandomToken draws them.
bool IsTokenFolderName(const ByteString& name, const char* prefix) {
  return StartsWith(name, prefix) && IsRandomToken(name.substr(std::char_traits<char>::length(prefix)));
}

ByteString AnchorParent(Hive hive) { return hive == Hive::LocalMachine ? "\\SOFTWARE" : "Software"; }
ByteString AnchorKey(Hive hive) { return AnchorParent(hive) + "\\" + kAnchorName; }

ByteString ReadAnchor(Hive hive, const char* name = kAnchorValue) {
  RegKey key = 0;
  if (!platform::RegOpen(hive, AnchorKey(hive), false, key)) return ByteString();
  ByteString value;
  try {
    value = ReadRegistryString(key, name);
  } catch (const ERegistryError&) {
    value.clear();  // not ours: nothing to recover from
  }
  platform::RegClose(key);
  return value;
}

void DropAnchor(Hive hive) {
  RegKey key = 0;
  if (platform::RegOpen(hive, AnchorKey(hive), true, key)) {
    platform::RegRemoveValue(key, kAnchorValue);
    const bool empty = platform::RegValueNames(key).empty() && platform::RegSubkeyNames(key).empty();
    platform::RegClose(key);
    if (!empty) return;
  }
  RegKey parent = 0;
  if (platform::RegOpen(hive, AnchorParent(hive), true, parent)) {
    platform::RegDeleteSubkey(parent, kAnchorName);
    platform::RegClose(parent);
  }
}

}  // namespace

bool IsRandomToken(const ByteString& text) {
  return text.size() == 16 && text.find_first_not_of("0123456789abcdef") == ByteString::npos;
}

ByteString RandomToken() {
  uint64_t drawn = 0;
  // Where the system gives nothing, the clock and the library's generator still differ per call.
  if (!platform::SystemRandomBytes(&drawn, sizeof drawn)) {
    std::random_device device;
    drawn = (static_cast<uint64_t>(device()) << 32) ^ device() ^
            static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  char text[17];
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) text[i] = kHex[(drawn >> (4 * i)) & 15];
  text[16] = '\0';
  return text;
}

platform::AppendHandle CreateJournal(Hive hive, ByteString& path, Hive& madeIn) {
  RegKey anchor = 0;
  madeIn = hive;
  if (!platform::RegCreate(madeIn, AnchorKey(madeIn), anchor)) {
    madeIn = Hive::CurrentUser;
    if (!platform::RegCreate(madeIn, AnchorKey(madeIn), anchor)) return 0;
  }
  // A journal left for the user's own run keeps its name: no run starts over it.
  if (!ReadAnchor(madeIn).empty()) {
    platform::RegClose(anchor);
    return 0;
  }
  const ByteString base = JournalBase(madeIn);
  // The folder must be new, with its access list from the start: one that
  // somebody made beforehand is never used. Its name is published only once
  // it stands, with the journal's first line in it.
  ByteString folder;
  for (int attempt = 0; !base.empty() && attempt < 8 && folder.empty(); ++attempt) {
    folder = base + "\\" + kFolderPrefix + RandomToken();
    if (!platform::MakePrivateFolder(folder)) folder.clear();
  }
  path = folder.empty() ? ByteString() : folder + "\\journal";
  platform::AppendHandle file = path.empty() ? 0 : platform::CreateAppendFile(path);
  const ByteString header = ByteString(kJournalHeader) + "\n";
  const bool made = file && platform::AppendBytes(file, header.data(), header.size()) &&
                    platform::RegSetString(anchor, kAnchorValue, path);
  platform::RegClose(anchor);
  if (!made) {
    platform::CloseAppend(file);
    RemoveJournal(path, madeIn);
    path.clear();
    return 0;
  }
  return file;
}

namespace {

// A run with the machine's rights recovers the machine's journal; the
// user's is recovered by the user's own runs: without the machine's rights,
// or for the user alone (where the system gives every program those rights,
// as Wine and a system without UAC do), never by a run for all users, nor
// by one raised above the user's programs (which could have written it) or
// as the system account.
bool RecoversIn(Hive hive) {
  const bool machineRights = platform::HasAdministratorRights();
  if (hive == Hive::LocalMachine) return machineRights;
  return (!machineRights || PerUserRun()) && !platform::RunsElevated() && !platform::RunsAsSystem();
}

// Why the machine's journal at `path` is not one this setup made; empty
// when it is: "journal" in a "QuillonSetup-<hex>" folder directly below the
// common application data that no standard user can have made or changed.
ByteString WhyNotGenuine(const ByteString& path) {
  const std::size_t slash = path.rfind('\\');
  const std::size_t above = slash == ByteString::npos || slash == 0 ? ByteString::npos : path.rfind('\\', slash - 1);
  if (above == ByteString::npos || AsciiLower(path.substr(slash + 1)) != "journal") return "not a journal's name";
  const ByteString base = AsciiLower(JournalBase(Hive::LocalMachine));
  const ByteString folder = path.substr(0, slash);
  if (base.empty() || AsciiLower(path.substr(0, above)) != base || !IsTokenFolderName(folder.substr(above + 1), kFolderPrefix))
    return "not in a journal folder of the common application data";
  if (!platform::FolderIsAdministratorsOnly(folder)) return "its folder is not the administrators' alone";
  return ByteString();
}


}  // namespace

void SetJournalAside(Hive hive, const ByteString& path, const ByteString& why) {
  NoteRefusal("journal not replayed: " + path + " (" + why + ")");
  RegKey key = 0;
  if (!platform::RegOpen(hive, AnchorKey(hive), true, key)) return;
  platform::RegSetString(key, kSetAsideValue, path);
  platform::RegRemoveValue(key, kAnchorValue);
  platform::RegClose(key);
}

namespace {

ByteString LowerWithoutEdges(ByteString text) {
  while (!text.empty() && text.back() == '\\') text.pop_back();
  while (!text.empty() && text.front() == '\\') text.erase(0, 1);
  return AsciiLower(text);
}

bool AtOrBelow(const ByteString& lower, const ByteString& root) {
  return !root.empty() && (lower == root || StartsWith(lower, root + "\\"));
}

// No "/" and no name of dots and blanks alone ("..", which the system also
// reads in "... "): what the text says below a folder is below it.
bool PlainPath(const ByteString& path) {
  if (path.find('/') != ByteString::npos) return false;
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find('\\', start);
    if (end == ByteString::npos) end = path.size();
    const ByteString name = path.substr(start, end - start);
    if (!name.empty() && name.find_first_not_of(". ") == ByteString::npos) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

ByteString WhyNotReplayable(const std::vector<JournalEntry>& entries, const ByteString& path, Hive hive) {
  // Its folders: the journal's own and those it names as its run's.
  std::vector<ByteString> folders{LowerWithoutEdges(path.substr(0, path.find_last_of('\\') + 1))};
  ByteString productKey;
  for (const JournalEntry& entry : entries) {
    if (entry.kind != "place") continue;
    if (entry.Field(1) == "key") productKey = LowerWithoutEdges(entry.Field(0));
    else if (PlainPath(entry.Field(0)) && entry.Field(0).size() > 3) folders.push_back(LowerWithoutEdges(entry.Field(0)));
  }
  const ByteString software = "software";
  const std::vector<ByteString> keys{productKey, LowerWithoutEdges(kUninstallRoot), software + "\\" + kAnchorName};
  const auto fileOk = [&](const ByteString& file) {
    if (file.empty()) return true;
    const ByteString lower = LowerWithoutEdges(file);
    return PlainPath(file) && std::any_of(folders.begin(), folders.end(), [&](const ByteString& f) { return AtOrBelow(lower, f); });
  };
  // A key the run made on the way to one of them lies above it, below "SOFTWARE".
  const auto keyOk = [&](const JournalEntry& entry) {
    const ByteString key = LowerWithoutEdges(entry.Field(1));
    const bool madeOnTheWay = entry.kind == "key" && AtOrBelow(key, software) && key != software;
    return entry.Field(0) == HiveCode(hive) && PlainPath(entry.Field(1)) &&
           std::any_of(keys.begin(), keys.end(),
                       [&](const ByteString& k) { return AtOrBelow(key, k) || (madeOnTheWay && AtOrBelow(k, key)); });
  };
  for (const JournalEntry& entry : entries) {
    const ByteString& kind = entry.kind;
    if (kind == "commit" || kind == "place") continue;
    if (kind == "file" || kind == "dir" || kind == "attr" || kind == "grant") {
      for (std::size_t i = 0; i < (kind == "file" ? 3u : 1u); ++i)
        if (!fileOk(entry.Field(i)) || (i == 0 && entry.Field(0).empty()))
          return entry.Field(i) + " lies outside its run's folders";
    } else if (kind == "key" || kind == "keep" || kind == "value") {
      if (!keyOk(entry)) return entry.Field(1) + " lies outside its run's keys";
    } else {
      return "an entry of an unknown kind: " + kind;
    }
  }
  return ByteString();
}

ByteString FindJournal(Hive hive) {
  if (!RecoversIn(hive)) {
    const ByteString other = ReadAnchor(hive);
    if (!other.empty()) NoteRefusal("journal not replayed: " + other + " (the user's hive's, left for the user's own run)");
    return ByteString();
  }
  const ByteString path = ReadAnchor(hive);
  if (path.empty()) {
    // A kill between the anchor key and its value (or between removing
    // the value and the key) leaves the key alone.
    RegKey key = 0;
    if (platform::RegOpen(hive, AnchorKey(hive), false, key)) {
      platform::RegClose(key);
      DropAnchor(hive);
    }
  }
  if (!path.empty() && hive == Hive::LocalMachine) {
    const ByteString why = WhyNotGenuine(path);
    if (!why.empty()) {
      SetJournalAside(hive, path, why);
      return ByteString();
    }
  }
  return path;
}

bool AnchorNamesJournal() {
  for (const Hive hive : {Hive::LocalMachine, Hive::CurrentUser})
    if (RecoversIn(hive) && !ReadAnchor(hive).empty()) return true;
  return false;
}

void RemoveJournal(const ByteString& path, Hive hive) {
  DropAnchor(hive);
  if (path.empty()) return;
  platform::RemoveFile(path);
  const std::size_t separator = path.find_last_of("\\:");
  if (separator != ByteString::npos && separator + 1 > 3) platform::RemoveEmptyDirectory(path.substr(0, separator));
}

namespace {

// The elevated copy's log folder stands from the copy's last step until the
// run that started it has read it, moments later. A day without a change is
// far beyond that, also for a machine that slept in between or whose clock
// was set back a little, and still clears what a killed run left.
constexpr int64_t kLogFolderQuietSeconds = 24 * 60 * 60;

// Neither the folder nor what it holds changed for `seconds`; false when
// unknown or dated in the future.
bool UnchangedFor(const ByteString& folder, const std::vector<ByteString>& held, int64_t seconds) {
  const int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  std::vector<ByteString> paths{folder};
  for (const ByteString& name : held) paths.push_back(folder + "\\" + name);
  platform::FindData data;
  return std::all_of(paths.begin(), paths.end(), [&](const ByteString& path) {
    return platform::FindFirst(path, data) && data.lastWrite <= now - seconds;
  });
}

// Removes the folders "<prefix><16 hex>" directly in `base` that hold
// nothing or only `onlyFile` and that `spare` does not keep: never one a
// user could have made or changed, nor anything through a link.
void SweepLeftFolders(Hive hive, const ByteString& base, const char* prefix, const char* onlyFile,
                      const std::function<bool(const ByteString& folder, const std::vector<ByteString>& held)>& spare) {
  for (const ByteString& name : platform::NamesIn(base, prefix)) {
    const ByteString folder = base + "\\" + name;
    const std::vector<ByteString> held = platform::NamesIn(folder, "");
    if (!IsTokenFolderName(name, prefix) || held.size() > 1 ||
        (held.size() == 1 && AsciiLower(held[0]) != AsciiLower(onlyFile)) || spare(folder, held))
      continue;
    if (hive == Hive::LocalMachine && !platform::FolderIsAdministratorsOnly(folder)) continue;
    // Through handles that follow no link; the folder only once empty.
    if (held.empty() || platform::RemoveBelow(base, folder + "\\" + held[0]) == platform::GuardedChange::Done)
      platform::RemoveBelow(base, folder);
  }
}

}  // namespace

void SweepOrphanJournalFolders() {
  std::vector<ByteString> named;
  for (const Hive hive : {Hive::LocalMachine, Hive::CurrentUser})
    for (const char* value : {kAnchorValue, kSetAsideValue}) named.push_back(AsciiLower(ReadAnchor(hive, value)));
  const auto anchorNames = [&](const ByteString& folder, const std::vector<ByteString>&) {
    const ByteString lower = AsciiLower(folder) + "\\";
    return std::any_of(named.begin(), named.end(), [&](const ByteString& path) { return StartsWith(path, lower); });
  };
  for (const Hive hive : {Hive::LocalMachine, Hive::CurrentUser}) {
    // Asked first: looking up the shell's folders costs time.
    if (!RecoversIn(hive)) continue;
    const ByteString base = JournalBase(hive);
    if (base.empty()) continue;
    SweepLeftFolders(hive, base, kFolderPrefix, "journal", anchorNames);
    // The elevated copies' log folders lie in the machine's place alone.
    if (hive == Hive::LocalMachine)
      SweepLeftFolders(hive, base, kCopysLogFolderPrefix, kCopysLogName,
                       [](const ByteString& folder, const std::vector<ByteString>& held) {
                         return !UnchangedFor(folder, held, kLogFolderQuietSeconds);
                       });
  }
}
