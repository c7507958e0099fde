#pragma once
// The uninstall run: removes the registry entry, the installed files and the
// emptied folders named by the own "Section:Uninst".
#include <cstdint>
#include <memory>
#include <vector>
#include "base/Text.h"
#include "engine/RunJournal.h"

class TQStringList;

// What the running uninstaller cannot remove itself: its own file, when the
// uninstall information names it, and the installed folders that hold it
// (deepest first; with each, its parent once emptied).
struct UninstallLeftovers {
  ByteString file;
  std::vector<ByteString> folders;
  // Files (and then their emptied folders) held by a running program, left
  // to the system to remove at the next restart.
  std::vector<ByteString> atRestart;
};

// The uninstall information is read and checked before anything is
// removed: false when it is missing (nothing removed, the entry kept);
// damaged information raises the zlib error, also before anything is
// removed. Only files and folders below the installation's folders (and
// the shortcut files it recorded) are removed; other lines are skipped and
// noted in the error list. A file another program holds is left for the
// next restart. The entry goes last, once every file is gone or left for
// the restart; false when that fails for a file.
bool RunUninstall(UninstallLeftovers* leftovers = nullptr);
// After the recovery of an interrupted run: whether this uninstaller still
// has an installation to remove. Not when the recovery undid its own file
// (it was the placeholder or the uninstaller of the undone run), nor for a
// placeholder elsewhere (a copy), which carries no uninstall information.
bool UninstallLeftAfterRecovery(const OwnFileLeft& own);
// The installed files that another program holds now (the window offers to
// try again before anything is removed).
std::vector<ByteString> HeldInstalledFiles();
// Called during RunUninstall with the files removed so far and their number
// (at most every few milliseconds, and after the last file).
void SetUninstallProgressHook(void (*hook)(uint64_t done, uint64_t total));
// The lines of the own "Section:Uninst"; empty (and "uninstall information
// not found" reported) when there is none.
std::unique_ptr<TQStringList> ReadUninstallInfo();
// Deletes kUninstallRoot\key with all its subkeys. Keys shorter than three
// characters once trimmed, or with an empty "\" part, delete nothing.
void RemoveUninstallEntry(const ByteString& key);
