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
// "/ELEVATEDLOG=": names the copy's log place by 16 hex digits.
extern const char* const kElevatedLogSwitch;
// The copy's log place: "QuillonSetupLog-" and that token, directly below
// the common application data, holding the log file alone.
extern const char* const kCopysLogFolderPrefix;
extern const char* const kCopysLogName;

// True for a run for all users (an install, or the uninstall of an
// installation for all users) without administrator rights that is not
// itself the elevated copy.
bool NeedsElevation();

struct ElevatedOutcome {
  platform::ElevatedRun run = platform::ElevatedRun::NotStarted;
  uint32_t exitCode = 0;       // the copy's, when it ran
  bool logHandedOver = false;  // the copy's log was found and taken for the /LOG= file
};
// Starts this program elevated with this run's parameters (the copy's
// marker first: an unquoted /D= must stay the last) plus `extra`, and waits.
// The copy never gets the /LOG= file, which a standard user may have chosen:
// it writes its log where only administrators can write, and once it ended
// this run writes that log to the /LOG= file with its own rights (a failure
// is an error of this run) and removes the copy's.
ElevatedOutcome RunElevatedCopy(const ByteString& extra = ByteString());

// This run's log of a silent run: the elevated copy's in a new folder below
// the common application data that only administrators can change until it
// is written, then opened to the users for the run that started the copy to
// take (never in a /LOG= file it was given); any other run's in its /LOG=
// file. Nothing without either.
void WriteRequestedLog(const ByteString& result);
