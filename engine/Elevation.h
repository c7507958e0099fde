#pragma once
// A run for all users needs administrator rights. The setup asks for them
// only then: without them it starts itself again elevated with the same
// parameters, waits, and passes on the copy's exit code.
#include <cstdint>
#include "base/Text.h"
#include "platform/Process.h"

// Marks the elevated copy on its command line, so that a copy that still
// lacks the rights (the user gave another standard account's credentials)
// runs as it is instead of asking again.
extern const char* const kElevatedCopySwitch;

// True for a run for all users (an install, or the uninstall of an
// installation for all users) without administrator rights that is not
// itself the elevated copy.
bool NeedsElevation();

struct ElevatedOutcome {
  platform::ElevatedRun run = platform::ElevatedRun::NotStarted;
  uint32_t exitCode = 0;  // the copy's, when it ran
};
// Starts this program elevated with this run's parameters (the copy's
// marker first: an unquoted /D= must stay the last) plus `extra`, and waits.
ElevatedOutcome RunElevatedCopy(const ByteString& extra = ByteString());
