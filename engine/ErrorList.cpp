#include "engine/ErrorList.h"

#include "engine/EngineErrors.h"
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

void WriteSetupLog(const std::vector<ByteString>& lines) {
  ByteString log;
  for (const ByteString& line : lines) {
    log += line;
    log += kLineEnd;
  }
  if (!platform::WriteNewFile(kSetupLogPath, log.data(), log.size()))
    throw ELogFileError(ByteString("Cannot create file \"") + kSetupLogPath + "\"");
}
