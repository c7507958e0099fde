#include "engine/ErrorList.h"

#include "engine/EngineErrors.h"
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
bool RunRolledBack = false;
const char* const kUndoneLogLine = "Undone: every change of this run";
bool RecoveredEarlierRun = false;

bool WriteRunLog(const ByteString& path, const ByteString& result) {
  ByteString log;
  if (RecoveredEarlierRun) log += ByteString("Recovered: an interrupted earlier run was completed") + kLineEnd;
  for (const ByteString& line : RunLines) log += "Line: " + line + kLineEnd;
  for (int32_t i = 0; i < WrittenFiles->Count(); ++i) log += "File: " + WrittenFiles->ItemText(i) + kLineEnd;
  if (!ErrorText.empty()) log += "Errors: " + ErrorText + kLineEnd;
  if (RunRolledBack) log += ByteString(kUndoneLogLine) + kLineEnd;
  log += "Result: " + result + kLineEnd;
  return platform::WriteNewFile(path, log.data(), log.size());
}

void WriteSetupLog(const std::vector<ByteString>& lines) {
  ByteString log;
  for (const ByteString& line : lines) {
    log += line;
    log += kLineEnd;
  }
  if (!platform::WriteNewFile(kSetupLogPath, log.data(), log.size()))
    throw ELogFileError(ByteString("Cannot create file \"") + kSetupLogPath + "\"");
}
