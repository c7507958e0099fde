#pragma once
// Starting an installed program (the product, the partner's offer) from the
// setup.
#include "base/Text.h"

// Starts `file` with the parameters, in the file's own folder, with the
// whole command line quoted as the system splits it. It runs as the
// logged-on desktop user, never with the setup's administrator rights: as a
// child of the user's desktop shell, else with the shell's token. Only a run
// whose own rights are the user's (not elevated, not the elevated copy)
// starts it as its own child when there is no shell. A run as the system
// account starts nothing. False, and "not started" among the run's errors,
// when it did not start.
bool StartInstalledProgram(const ByteString& file, const ByteString& parameters, int showCommand);
