#include "engine/Uninstaller.h"

const char* const kUninstallRoot = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool RegisterUninstall(const CommandItems&) { return false; }
void CreateUninstaller() {}
void RemoveUninstallEntry(const ByteString&) {}
