#include "engine/JournalPlace.h"

#include <chrono>
#include <random>

#include "base/TextBasics.h"
#include "engine/EngineErrors.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/JournalFormat.h"
#include "engine/RegistryValues.h"
#include "engine/SystemFolders.h"
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
constexpr int kCsidlCommonAppData = 35;

ByteString AnchorParent(Hive hive) { return hive == Hive::LocalMachine ? "\\SOFTWARE" : "Software"; }
ByteString AnchorKey(Hive hive) { return AnchorParent(hive) + "\\" + kAnchorName; }

ByteString ReadAnchor(Hive hive) {
  RegKey key = 0;
  if (!platform::RegOpen(hive, AnchorKey(hive), false, key)) return ByteString();
  ByteString value;
  try {
    value = ReadRegistryString(key, kAnchorValue);
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
  ByteString base =
      SpecialFolderPath(madeIn == Hive::LocalMachine ? kCsidlCommonAppData : platform::kCsidlLocalAppData);
  while (!base.empty() && base.back() == '\\') base.pop_back();
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
// as Wine and a system without UAC do), never by a run for all users.
bool RecoversIn(Hive hive) {
  const bool machineRights = platform::HasAdministratorRights();
  return hive == Hive::LocalMachine ? machineRights : !machineRights || PerUserRun();
}

// Why the machine's journal at `path` is not one this setup made; empty
// when it is: "journal" in a "QuillonSetup-<hex>" folder directly below the
// common application data that no standard user can have made or changed.
ByteString WhyNotGenuine(const ByteString& path) {
  const std::size_t slash = path.rfind('\\');
  const std::size_t above = slash == ByteString::npos || slash == 0 ? ByteString::npos : path.rfind('\\', slash - 1);
  if (above == ByteString::npos || AsciiLower(path.substr(slash + 1)) != "journal") return "not a journal's name";
  ByteString base = AsciiLower(SpecialFolderPath(kCsidlCommonAppData));
  while (!base.empty() && base.back() == '\\') base.pop_back();
  const ByteString folder = path.substr(0, slash);
  const ByteString name = folder.substr(above + 1);
  const bool hexName = name.size() == std::char_traits<char>::length(kFolderPrefix) + 16 &&
                       StartsWith(name, kFolderPrefix) &&
                       name.find_first_not_of("0123456789abcdef", name.size() - 16) == ByteString::npos;
  if (base.empty() || AsciiLower(path.substr(0, above)) != base || !hexName)
    return "not in a journal folder of the common application data";
  if (!platform::FolderIsAdministratorsOnly(folder)) return "its folder is not the administrators' alone";
  return ByteString();
}

// A refused journal's name moves aside (for inspection; nothing of it is
// touched), and the log says why.
void SetAside(Hive hive, const ByteString& path, const ByteString& why) {
  NoteRefusal("journal not replayed: " + path + " (" + why + ")");
  RegKey key = 0;
  if (!platform::RegOpen(hive, AnchorKey(hive), true, key)) return;
  platform::RegSetString(key, kSetAsideValue, path);
  platform::RegRemoveValue(key, kAnchorValue);
  platform::RegClose(key);
}

}  // namespace

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
      SetAside(hive, path, why);
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
