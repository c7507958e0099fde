#pragma once
// The run's error list: every failure of a run appends its text here; after a
// run that collected errors the setup log gets the executed lines and them.
#include <vector>
#include "base/Text.h"

extern const char* const kSetupLogPath;  // "C:\Setup.log"

// Appends the text and "; " to ErrorText.
void AddError(const ByteString& text);
// AddError, and a message box unless Quiet is set.
void ReportError(const ByteString& text);
// The script lines the last run executed, the failing one included.
extern std::vector<ByteString> RunLines;
// The logs are written where users may have put something first: a folder,
// a link or a file with a second name there refuses the log (the elevated
// run never writes through it). A log that cannot be written is added to
// the error list and answers false; it never raises.
// A log's whole text at the path.
bool WriteLog(const ByteString& path, const ByteString& log);
// The run's log for /LOG=: the executed lines, each file written, the errors
// and the result.
bool WriteRunLog(const ByteString& path, const ByteString& result);
// The lines, each ending with CR LF, as the setup log, replacing an older one.
bool WriteSetupLog(const std::vector<ByteString>& lines);
// The last full run was undone (the logs say so).
extern bool RunRolledBack;
extern const char* const kUndoneLogLine;  // "Undone: every change of this run"
// Changes an elevated run refused because a user could have prepared what
// they touch (a link, a planted journal, a program it may not start): each
// once, in the run's log as "Refused: ..." lines. Not errors: the run goes
// on. Emptied with the engine's values.
void NoteRefusal(const ByteString& text);
extern std::vector<ByteString> Refusals;
// The run found an earlier run's unfinished journal and completed it.
extern bool RecoveredEarlierRun;
