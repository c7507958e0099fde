#pragma once
// Starting an installed program (the product, the partner's offer) from the
// elevated setup.
#include "base/Text.h"

// Starts `file` with the parameters, in the file's own folder, with the
// whole command line quoted as the system splits it. It runs as the
// logged-on user through the user's desktop shell, without the setup's
// administrator rights, wherever the system offers that; only where it does
// not is it started as the setup's own child. False when it did not start.
bool StartInstalledProgram(const ByteString& file, const ByteString& parameters, int showCommand);
