#pragma once
// The uninstall run: removes the registry entry, the installed files and the
// emptied folders named by the own "Section:Uninst".
#include <cstdint>
#include <memory>
#include <vector>
#include "base/Text.h"

class TQStringList;

// What the running uninstaller cannot remove itself: its own file, when the
// uninstall information names it, and the installed folders that hold it
// (deepest first; with each, its parent once emptied).
struct UninstallLeftovers {
  ByteString file;
  std::vector<ByteString> folders;
};

// False when the uninstall information is missing; damaged information
// raises the zlib error.
bool RunUninstall(UninstallLeftovers* leftovers = nullptr);
// Called during RunUninstall with the files removed so far and their number
// (at most every few milliseconds, and after the last file).
void SetUninstallProgressHook(void (*hook)(uint64_t done, uint64_t total));
// The lines of the own "Section:Uninst"; empty (and "uninstall information
// not found" reported) when there is none.
std::unique_ptr<TQStringList> ReadUninstallInfo();
// Deletes kUninstallRoot\key with all its subkeys. Keys shorter than three
// characters once trimmed, or with an empty "\" part, delete nothing.
void RemoveUninstallEntry(const ByteString& key);
