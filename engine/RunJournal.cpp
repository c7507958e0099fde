#include "engine/RunJournal.h"

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "base/TextBasics.h"
#include "engine/EngineErrors.h"
#include "engine/ErrorList.h"
#include "engine/InstallScope.h"
#include "engine/PathVariables.h"
#include "engine/RegistryValues.h"
#include "package/WholeFiles.h"
#include "platform/Security.h"
#include "platform/Shell.h"

namespace {

using platform::Hive;
using platform::RegKey;

constexpr const char* kHeader = "QuillonSetupJournal 1";
constexpr const char* kAnchorValue = "RunJournal";
constexpr int kCsidlCommonAppData = 35;
constexpr uint32_t kNotReplaceable = platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem;

ByteString AnchorKey(Hive hive) {
  return hive == Hive::LocalMachine ? "\\SOFTWARE\\QuillonSetup" : "Software\\QuillonSetup";
}

// One journal entry: its kind and fields, one line of the file.
struct Entry {
  ByteString kind;
  std::vector<ByteString> fields;
  const ByteString& Field(std::size_t i) const {
    static const ByteString kNone;
    return i < fields.size() ? fields[i] : kNone;
  }
};

// Fields are separated by tabs; "%", tab, CR and LF inside them are written
// as %XX, so that any path or registry name survives.
ByteString Escape(const ByteString& text) {
  ByteString out;
  for (char c : text) {
    if (c == '%' || c == '\t' || c == '\r' || c == '\n') {
      static const char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[(static_cast<unsigned char>(c) >> 4) & 15];
      out += kHex[static_cast<unsigned char>(c) & 15];
    } else {
      out += c;
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

ByteString Unescape(const ByteString& text) {
  ByteString out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

ByteString HexOf(const ByteString& data) {
  static const char kHex[] = "0123456789ABCDEF";
  ByteString out;
  for (unsigned char c : data) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

ByteString BytesOfHex(const ByteString& hex) {
  ByteString out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) break;
    out += static_cast<char>(high * 16 + low);
  }
  return out;
}

ByteString EncodeEntry(const Entry& entry) {
  ByteString line = entry.kind;
  for (const ByteString& field : entry.fields) line += "\t" + Escape(field);
  return line + "\n";
}

// Only complete lines: a line cut off by a power cut was never acted on.
std::vector<Entry> DecodeEntries(const ByteString& text) {
  std::vector<Entry> entries;
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find('\n', begin)) != ByteString::npos; begin = end + 1) {
    const ByteString line = text.substr(begin, end - begin);
    Entry entry;
    std::size_t start = 0;
    bool first = true;
    for (;;) {
      const std::size_t tab = line.find('\t', start);
      const ByteString part = line.substr(start, tab == ByteString::npos ? ByteString::npos : tab - start);
      if (first) entry.kind = part;
      else entry.fields.push_back(Unescape(part));
      first = false;
      if (tab == ByteString::npos) break;
      start = tab + 1;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

ByteString HiveCode(Hive hive) { return hive == Hive::LocalMachine ? "M" : "U"; }
Hive HiveOfCode(const ByteString& code) { return code == "U" ? Hive::CurrentUser : Hive::LocalMachine; }

bool Exists(const ByteString& path) { return platform::FileAttributesOf(path) != platform::kInvalidFileAttributes; }

ByteString FolderPart(const ByteString& path) {
  const std::size_t separator = path.find_last_of("\\:");
  return separator == ByteString::npos ? ByteString() : path.substr(0, separator + 1);
}

ByteString ParentKey(const ByteString& key) {
  const std::size_t slash = key.find_last_of('\\');
  return slash == ByteString::npos || slash == 0 ? ByteString() : key.substr(0, slash);
}

struct JournalState {
  platform::AppendHandle file = 0;
  ByteString path;             // the journal file
  Hive hive = Hive::LocalMachine;  // where its anchor is
  bool committing = false;
  std::vector<Entry> entries;  // of this run, in their order
  // A replaced file's temporary name -> its backup (empty: nothing to keep).
  std::map<ByteString, ByteString> pendingBackups;
  std::set<ByteString> madeFolders;   // lower case
  std::set<ByteString> writtenFiles;  // lower case: replaced without a backup
  ByteString token;
  uint32_t counter = 0;
};

JournalState& State() {
  static JournalState state;
  return state;
}

ByteString NewToken() {
  std::random_device device;
  const uint64_t mixed = (static_cast<uint64_t>(device()) << 32) ^ device() ^
                         static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  char text[17];
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) text[i] = kHex[(mixed >> (4 * i)) & 15];
  text[16] = '\0';
  return text;
}

// A short name in the file's own folder (a rename there never crosses volumes).
ByteString TemporaryIn(const ByteString& folder, char kind) {
  JournalState& state = State();
  if (state.token.empty()) state.token = NewToken();
  // Random per run: nobody can plant the name beforehand, and a file that
  // stands there anyway is refused by the create.
  char number[16];
  std::snprintf(number, sizeof number, "%x", ++state.counter);
  return folder + "~q" + kind + state.token.substr(0, 8) + number + ".tmp";
}

// Entered before the change; a change whose entry could not be written is
// not made.
bool Record(const ByteString& kind, std::vector<ByteString> fields) {
  JournalState& state = State();
  if (!state.file) return true;
  Entry entry{kind, std::move(fields)};
  const ByteString line = EncodeEntry(entry);
  if (!platform::AppendBytes(state.file, line.data(), line.size())) return false;
  state.entries.push_back(std::move(entry));
  return true;
}

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
  if (platform::RegOpen(hive, ParentKey(AnchorKey(hive)), true, parent)) {
    platform::RegDeleteSubkey(parent, "QuillonSetup");
    platform::RegClose(parent);
  }
}

// The journal file, its folder and the anchor go, in this order: a kill in
// between leaves an anchor that names nothing, which the next start drops.
void RemoveJournal(const ByteString& path, Hive hive) {
  platform::RemoveFile(path);
  const ByteString folder = FolderPart(path);
  if (folder.size() > 3) platform::RemoveEmptyDirectory(folder.substr(0, folder.size() - 1));
  DropAnchor(hive);
}

void RemoveKeyIfEmpty(Hive hive, const ByteString& key) {
  RegKey open = 0;
  if (!platform::RegOpen(hive, key, true, open)) return;
  const bool empty = platform::RegValueNames(open).empty() && platform::RegSubkeyNames(open).empty();
  platform::RegClose(open);
  const ByteString parent = ParentKey(key);
  if (!empty || parent.empty()) return;
  RegKey parentKey = 0;
  if (!platform::RegOpen(hive, parent, true, parentKey)) return;
  platform::RegDeleteSubkey(parentKey, key.substr(parent.size() + 1));
  platform::RegClose(parentKey);
}

// Another program (a virus scanner, the shell reading a program's icon for
// a new shortcut) may hold a file for a moment: a change is tried again every
// 100 ms while waits are left in `waitsLeft`.
constexpr int kPatientWaits = 20;  // two seconds
template <typename Change>
bool Patiently(Change change, int& waitsLeft) {
  for (;; --waitsLeft) {
    if (change()) return true;
    if (waitsLeft <= 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}
template <typename Change>
bool Patiently(Change change) {
  int waits = kPatientWaits;
  return Patiently(change, waits);
}

// Each undo looks at what is there, so that undoing twice (a kill during
// the rollback) does no harm. False when a file could not be put back: the
// journal then stays for the next start.
bool Undo(const Entry& entry) {
  if (entry.kind == "file") {
    const ByteString& target = entry.Field(0);
    const ByteString& temporary = entry.Field(1);
    const ByteString& backup = entry.Field(2);
    bool undone = temporary.empty() || !Exists(temporary) ||
                  Patiently([&] { return platform::RemoveFile(temporary) || !Exists(temporary); });
    if (backup.empty()) {
      // The file was new (or this run's own): it goes.
      undone = (!Exists(target) || Patiently([&] { return platform::RemoveFile(target) || !Exists(target); })) &&
               undone;
    } else if (Exists(backup)) {
      // Until its backup exists, the replaced file never moved.
      undone = Patiently([&] { return platform::RenameFile(backup, target, true); }) && undone;
    }
    if (!undone) AddError("cannot undo the write of " + target);
    return undone;
  } else if (entry.kind == "dir") {
    platform::RemoveEmptyDirectory(entry.Field(0));
  } else if (entry.kind == "attr") {
    const int32_t attributes = IntOrMinusOne(entry.Field(1));
    if (attributes >= 0 && Exists(entry.Field(0)))
      platform::ChangeFileAttributes(entry.Field(0), static_cast<uint32_t>(attributes));
  } else if (entry.kind == "key") {
    RemoveKeyIfEmpty(HiveOfCode(entry.Field(0)), entry.Field(1));
  } else if (entry.kind == "keep") {
    RegKey key = 0;
    if (platform::RegCreate(HiveOfCode(entry.Field(0)), entry.Field(1), key)) platform::RegClose(key);
  } else if (entry.kind == "value") {
    const Hive hive = HiveOfCode(entry.Field(0));
    const ByteString& keyPath = entry.Field(1);
    const ByteString& name = entry.Field(2);
    RegKey key = 0;
    if (entry.Field(3).empty()) {
      if (platform::RegOpen(hive, keyPath, true, key)) platform::RegRemoveValue(key, name);
    } else if (platform::RegCreate(hive, keyPath, key)) {
      platform::RegSetRaw(key, name, static_cast<uint32_t>(IntOrZero(entry.Field(3))), BytesOfHex(entry.Field(4)));
    }
    platform::RegClose(key);
  }
  return true;
}

// The backups go; one that a running program still holds goes at the next
// restart. (No temporary file is left by then: a write that fails removes
// its own.)
std::vector<ByteString> gLeftForRestart;

void FinishCommit(const std::vector<Entry>& entries) {
  int waitsLeft = kPatientWaits;  // for all the backups together
  for (const Entry& entry : entries) {
    const ByteString& backup = entry.Field(2);
    if (entry.kind != "file" || backup.empty() || !Exists(backup)) continue;
    const bool removed = Patiently([&] { return platform::RemoveFile(backup); }, waitsLeft);
    if (!removed && platform::RemoveAtRestart(backup)) gLeftForRestart.push_back(backup);
  }
}

// True when every change was undone.
bool UndoAll(const std::vector<Entry>& entries, JournalProgress progress) {
  const uint64_t total = entries.size();
  uint64_t done = 0;
  bool all = true;
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    all = Undo(*it) && all;
    ++done;
    if (progress && (done % 16 == 0 || done == total)) progress(done, total);
  }
  return all;
}

void CloseState() {
  JournalState& state = State();
  platform::CloseAppend(state.file);
  state.file = 0;
}

bool KeyExists(Hive hive, const ByteString& key) {
  RegKey open = 0;
  if (!platform::RegOpen(hive, key, false, open)) return false;
  platform::RegClose(open);
  return true;
}

// Enters every missing key of the chain (topmost first), then creates it.
bool EnsureKey(Hive hive, const ByteString& key, RegKey& open) {
  std::vector<ByteString> missing;
  for (ByteString current = key; !current.empty() && !KeyExists(hive, current); current = ParentKey(current))
    missing.push_back(current);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    if (!Record("key", {HiveCode(hive), *it})) return false;
  return platform::RegCreate(hive, key, open);
}

template <typename SetFn>
bool SetValue(Hive hive, const ByteString& key, const ByteString& name, SetFn set) {
  RegKey open = 0;
  if (!EnsureKey(hive, key, open)) return false;
  uint32_t oldType = 0;
  ByteString oldData;
  const bool existed = platform::RegQuery(open, name, oldType, oldData);
  const bool ok = Record("value", {HiveCode(hive), key, name, existed ? std::to_string(oldType) : ByteString(),
                                   existed ? HexOf(oldData) : ByteString()}) &&
                  set(open);
  platform::RegClose(open);
  return ok;
}

// Registry keys nest at most 512 deep; anything deeper is not a real tree.
void RecordAndDeleteTree(Hive hive, const ByteString& key, int depth) {
  if (depth > 512) return;
  RegKey open = 0;
  if (!platform::RegOpen(hive, key, true, open)) return;
  bool recorded = Record("keep", {HiveCode(hive), key});
  for (const ByteString& name : platform::RegValueNames(open)) {
    uint32_t type = 0;
    ByteString data;
    if (recorded && platform::RegQuery(open, name, type, data))
      recorded = Record("value", {HiveCode(hive), key, name, std::to_string(type), HexOf(data)});
  }
  const std::vector<ByteString> subkeys = platform::RegSubkeyNames(open);
  platform::RegClose(open);
  if (!recorded) return;  // what cannot be restored is not deleted
  for (const ByteString& name : subkeys) RecordAndDeleteTree(hive, key + "\\" + name, depth + 1);
  const ByteString parent = ParentKey(key);
  RegKey parentKey = 0;
  if (parent.empty() || !platform::RegOpen(hive, parent, true, parentKey)) return;
  platform::RegDeleteSubkey(parentKey, key.substr(parent.size() + 1));
  platform::RegClose(parentKey);
}

}  // namespace

const std::vector<ByteString>& FilesLeftForRestart() { return gLeftForRestart; }

bool OpenRunJournal() {
  RecoverUnfinishedRun();
  // A journal that could not be completed names changes still to undo: a
  // new run must not take its place.
  if (UnfinishedRunJournal()) return false;
  ResetRunJournal();
  JournalState& state = State();
  // The machine's registry when the run may write it, else the user's; a
  // per-user run leaves the machine alone.
  RegKey anchor = 0;
  state.hive = ScopeHive();
  if (!platform::RegCreate(state.hive, AnchorKey(state.hive), anchor)) {
    state.hive = Hive::CurrentUser;
    if (!platform::RegCreate(state.hive, AnchorKey(state.hive), anchor)) return false;
  }
  ByteString base =
      SpecialFolderPath(state.hive == Hive::LocalMachine ? kCsidlCommonAppData : platform::kCsidlLocalAppData);
  while (!base.empty() && base.back() == '\\') base.pop_back();
  bool made = false;
  // The folder must be new: one that somebody made beforehand is never used.
  for (int attempt = 0; !base.empty() && attempt < 8 && !made; ++attempt) {
    const ByteString folder = base + "\\QuillonSetup-" + NewToken();
    state.path = folder + "\\journal";
    // The anchor first: a kill right after it leaves a name the next start drops.
    if (!platform::RegSetString(anchor, kAnchorValue, state.path)) break;
    made = platform::MakePrivateFolder(folder);
  }
  platform::RegClose(anchor);
  if (made) state.file = platform::CreateAppendFile(state.path);
  const ByteString header = ByteString(kHeader) + "\n";
  if (!state.file || !platform::AppendBytes(state.file, header.data(), header.size())) {
    CloseState();
    RemoveJournal(state.path, state.hive);
    state.path.clear();
    return false;
  }
  return true;
}

bool RunJournalOpen() { return State().file != 0; }

bool RunCommitStarted() { return State().committing; }

void CommitRunJournal() {
  JournalState& state = State();
  if (!state.file) return;
  state.committing = true;
  Record("commit", {});
  FinishCommit(state.entries);
  CloseState();
  RemoveJournal(state.path, state.hive);
  ResetRunJournal();
}

void RollBackRunJournal(JournalProgress progress) {
  JournalState& state = State();
  if (!state.file) return;
  CloseState();
  // What could not be undone now is undone by the next start.
  if (UndoAll(state.entries, progress)) RemoveJournal(state.path, state.hive);
  ResetRunJournal();
}

bool UnfinishedRunJournal() {
  return !ReadAnchor(Hive::LocalMachine).empty() || !ReadAnchor(Hive::CurrentUser).empty();
}

bool RecoverUnfinishedRun(JournalProgress progress) {
  bool found = false;
  for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser}) {
    const ByteString path = ReadAnchor(hive);
    if (path.empty()) {
      // A kill between the anchor key and its value (or between removing
      // the value and the key) leaves the key alone.
      RegKey key = 0;
      if (platform::RegOpen(hive, AnchorKey(hive), false, key)) {
        platform::RegClose(key);
        DropAnchor(hive);
      }
      continue;
    }
    found = true;
    ByteString text;
    std::vector<Entry> entries;
    if (ReadWholeFile(path, text) && StartsWith(text, ByteString(kHeader) + "\n")) entries = DecodeEntries(text);
    bool committed = false;
    for (const Entry& entry : entries) committed = committed || entry.kind == "commit";
    if (committed) FinishCommit(entries);
    else if (!UndoAll(entries, progress)) continue;  // the journal stays for the next start
    RemoveJournal(path, hive);
  }
  return found;
}

bool JournalMakeFolder(const ByteString& folder) {
  if (!Record("dir", {folder})) return false;
  if (!platform::MakeDirectory(folder)) return false;
  State().madeFolders.insert(AsciiLower(folder));
  return true;
}

bool FolderMadeByThisRun(const ByteString& folder) {
  ByteString key = AsciiLower(folder);
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return State().madeFolders.count(key) > 0;
}

namespace {

// Enters a file's write: the temporary name it is written under and, for a
// file that stands there (not this run's own), the backup it moves to.
// False when the file may not be replaced or the entry cannot be written.
bool EnterFileWrite(const ByteString& path, ByteString& temporary, ByteString& backup) {
  JournalState& state = State();
  const ByteString folder = FolderPart(path);
  const bool ours = state.writtenFiles.count(AsciiLower(path)) > 0;
  // In a folder this run made only its own files stand: no look-up (it
  // costs a scan of the folder for a name that is not there).
  const uint32_t attributes = !ours && FolderMadeByThisRun(folder) ? platform::kInvalidFileAttributes
                                                                    : platform::FileAttributesOf(path);
  const bool exists = attributes != platform::kInvalidFileAttributes;
  if (exists && (attributes & (platform::kAttrDirectory | kNotReplaceable))) return false;
  // A file this run wrote itself needs no backup: undoing its first write removes it.
  backup = exists && !ours ? TemporaryIn(folder, 'b') : ByteString();
  temporary = TemporaryIn(folder, 'n');
  return Record("file", {path, temporary, backup});
}

}  // namespace

ByteString JournalTemporaryName(const ByteString& path) {
  ByteString temporary, backup;
  if (!EnterFileWrite(path, temporary, backup)) return ByteString();
  State().pendingBackups[temporary] = backup;
  return temporary;
}

bool JournalPlaceFile(const ByteString& temporary, const ByteString& path) {
  JournalState& state = State();
  const auto pending = state.pendingBackups.find(temporary);
  const ByteString backup = pending == state.pendingBackups.end() ? ByteString() : pending->second;
  if (pending != state.pendingBackups.end()) state.pendingBackups.erase(pending);
  if (!Exists(temporary)) return false;
  if (!backup.empty() && !platform::RenameFile(path, backup, false)) {
    platform::RemoveFile(temporary);
    return false;
  }
  if (!platform::RenameFile(temporary, path, true)) {
    if (!backup.empty()) platform::RenameFile(backup, path, false);
    platform::RemoveFile(temporary);
    return false;
  }
  state.writtenFiles.insert(AsciiLower(path));
  // Without a journal there is no commit to wait for.
  if (!state.file && !backup.empty()) platform::RemoveFile(backup);
  return true;
}

bool JournalWriteFile(const ByteString& path, std::string_view data, platform::WriteFailure* why) {
  if (why) *why = platform::WriteFailure::Other;
  JournalState& state = State();
  ByteString temporary, backup;
  if (!EnterFileWrite(path, temporary, backup)) return false;
  // A replaced file moves aside only once its successor is complete.
  bool movedAside = false;
  const auto moveAside = [&] { return movedAside = platform::RenameFile(path, backup, false); };
  const bool placed = backup.empty()
                          ? platform::WriteThenPlace(temporary, path, data.data(), data.size(), nullptr, why)
                          : platform::WriteThenPlace(temporary, path, data.data(), data.size(), moveAside, why);
  if (!placed) {
    if (movedAside) platform::RenameFile(backup, path, false);
    return false;
  }
  state.writtenFiles.insert(AsciiLower(path));
  // Without a journal there is no commit to wait for.
  if (!state.file && !backup.empty()) platform::RemoveFile(backup);
  return true;
}

bool JournalSetAttributes(const ByteString& path, uint32_t attributes) {
  const uint32_t old = platform::FileAttributesOf(path);
  if (old == platform::kInvalidFileAttributes) return false;
  if (!Record("attr", {path, std::to_string(old)})) return false;
  return platform::ChangeFileAttributes(path, attributes);
}

void JournalMakeSystemFolder(const ByteString& folder) {
  const uint32_t old = platform::FileAttributesOf(folder);
  if (old == platform::kInvalidFileAttributes || !Record("attr", {folder, std::to_string(old)})) return;
  platform::MakeSystemFolder(folder);
}

bool JournalSetString(Hive hive, const ByteString& key, const ByteString& name, const ByteString& value) {
  return SetValue(hive, key, name, [&](RegKey open) { return platform::RegSetString(open, name, value); });
}

bool JournalSetDword(Hive hive, const ByteString& key, const ByteString& name, uint32_t value) {
  return SetValue(hive, key, name, [&](RegKey open) { return platform::RegSetDword(open, name, value); });
}

void JournalDeleteKeyTree(Hive hive, const ByteString& key) { RecordAndDeleteTree(hive, key, 0); }

bool JournalRemoveFile(const ByteString& path) { return platform::RemoveFile(path); }
bool JournalRemoveEmptyFolder(const ByteString& folder) { return platform::RemoveEmptyDirectory(folder); }
bool JournalRemoveAtRestart(const ByteString& path) { return platform::RemoveAtRestart(path); }

void ResetRunJournal() {
  CloseState();
  JournalState& state = State();
  state = JournalState();
  gLeftForRestart.clear();
}
