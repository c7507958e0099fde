#include "engine/ErrorList.h"

#include "base/ByteStringList.h"
#include "engine/EngineValues.h"
#include "platform/Files.h"
#include "platform/Process.h"

const char* const kSetupLogPath = "C:\\Setup.log";

namespace {
constexpr const char* kLineEnd = "\r\n";
}  // namespace

void AddError(const ByteString& text) {
  ErrorText += text;
  ErrorText += "; ";
}

void ReportError(const ByteString& text) {
  AddError(text);
  if (!Quiet) platform::ShowErrorBox(text, "Setup");
}

std::vector<ByteString> RunLines;
std::vector<ByteString> Refusals;

void NoteRefusal(const ByteString& text) {
  for (const ByteString& known : Refusals)
    if (known == text) return;
  Refusals.push_back(text);
}
bool RunRolledBack = false;
const char* const kUndoneLogLine = "Undone: every change of this run";
bool RecoveredEarlierRun = false;

// A log that cannot be written is one more error of the run, never the end
// of it: the uninstaller and the settings are written all the same.
bool WriteLog(const ByteString& path, const ByteString& log) {
  if (platform::WriteLogFile(path, log.data(), log.size())) return true;
  AddError("Cannot create file \"" + path + "\"");
  return false;
}

bool WriteRunLog(const ByteString& path, const ByteString& result) {
  ByteString log;
  if (RecoveredEarlierRun) log += ByteString("Recovered: an interrupted earlier run was completed") + kLineEnd;
  for (const ByteString& line : RunLines) log += "Line: " + line + kLineEnd;
  for (int32_t i = 0; i < WrittenFiles->Count(); ++i) log += "File: " + WrittenFiles->ItemText(i) + kLineEnd;
  for (const ByteString& refusal : Refusals) log += "Refused: " + refusal + kLineEnd;
  if (!ErrorText.empty()) log += "Errors: " + ErrorText + kLineEnd;
  if (RunRolledBack) log += ByteString(kUndoneLogLine) + kLineEnd;
  log += "Result: " + result + kLineEnd;
  return WriteLog(path, log);
}

bool WriteSetupLog(const std::vector<ByteString>& lines) {
  ByteString log;
  for (const ByteString& line : lines) {
    log += line;
    log += kLineEnd;
  }
  return WriteLog(kSetupLogPath, log);
}
