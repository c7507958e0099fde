#pragma once
// Uninstall registration, the uninstaller file, and the uninstall run.
#include <memory>
#include "engine/SetupScript.h"

class TQStringList;

extern const char* const kUninstallRoot;  // "\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"

bool RegisterUninstall(const CommandItems& items);
void CreateUninstaller();
void ParseCommandLine();
void RunUninstall();
std::unique_ptr<TQStringList> ReadUninstallInfo();
void RemoveUninstallEntry(const ByteString& key);
