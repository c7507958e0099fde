#include "engine/ShellActions.h"

bool IconAction(const CommandItems&) { return false; }
bool DesktopIniAction(const CommandItems&) { return false; }
bool ExecAction(const CommandItems&) { return false; }
void CreateShellLink(const ByteString&, const ByteString&, const ByteString&, bool, const ByteString&) {}
void WriteDesktopIni(const ByteString&, const ByteString&) {}
bool RunProgram() { return false; }
