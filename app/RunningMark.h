#pragma once
// The mark of a running setup or uninstaller, which also finds one that
// runs without a window.

// Claims the process-wide mark of a running setup or uninstaller, held until
// the process ends; false when another process holds it.
bool ClaimSetupInstance();
// Lets go of that mark: the window's run goes on in its elevated copy,
// which claims it in turn.
void ReleaseSetupInstance();
