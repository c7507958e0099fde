#include "engine/Uninstaller.h"

void ParseCommandLine() {}
void RunUninstall() {}
