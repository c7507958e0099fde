#include "engine/JournalPlace.h"

#include <chrono>
#include <random>

#include "engine/EngineErrors.h"
#include "engine/JournalFormat.h"
#include "engine/RegistryValues.h"
#include "engine/SystemFolders.h"
#include "platform/Security.h"
#include "platform/Shell.h"

namespace {

using platform::Hive;
using platform::RegKey;

constexpr const char* kAnchorValue = "RunJournal";
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
  std::random_device device;
  const uint64_t mixed = (static_cast<uint64_t>(device()) << 32) ^ device() ^
                         static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  char text[17];
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) text[i] = kHex[(mixed >> (4 * i)) & 15];
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
  bool made = false;
  // The folder must be new: one that somebody made beforehand is never used.
  for (int attempt = 0; !base.empty() && attempt < 8 && !made; ++attempt) {
    const ByteString folder = base + "\\QuillonSetup-" + RandomToken();
    path = folder + "\\journal";
    // The anchor first: a kill right after it leaves a name the next start drops.
    if (!platform::RegSetString(anchor, kAnchorValue, path)) break;
    made = platform::MakePrivateFolder(folder);
  }
  platform::RegClose(anchor);
  platform::AppendHandle file = made ? platform::CreateAppendFile(path) : 0;
  const ByteString header = ByteString(kJournalHeader) + "\n";
  if (!file || !platform::AppendBytes(file, header.data(), header.size())) {
    platform::CloseAppend(file);
    RemoveJournal(path, madeIn);
    path.clear();
    return 0;
  }
  return file;
}

ByteString FindJournal(Hive hive) {
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
  return path;
}

bool AnchorNamesJournal() { return !ReadAnchor(Hive::LocalMachine).empty() || !ReadAnchor(Hive::CurrentUser).empty(); }

void RemoveJournal(const ByteString& path, Hive hive) {
  platform::RemoveFile(path);
  const std::size_t separator = path.find_last_of("\\:");
  if (separator != ByteString::npos && separator + 1 > 3) platform::RemoveEmptyDirectory(path.substr(0, separator));
  DropAnchor(hive);
}
