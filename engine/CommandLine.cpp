#include "engine/CommandLine.h"

#include <algorithm>

#include "base/ByteStringList.h"
#include "engine/EngineValues.h"
#include "platform/Process.h"

namespace {

bool IsSeparatorChar(char c) { return c != '\0' && static_cast<unsigned char>(c) <= 32; }

ByteString AsciiLower(ByteString text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

std::vector<ByteString> SplitParameters(const ByteString& commandLine) {
  std::vector<ByteString> parameters;
  // A NUL byte ends the command line.
  const std::size_t end = std::min(commandLine.size(), commandLine.find('\0'));
  std::size_t i = 0;
  for (;;) {
    for (;;) {
      while (i < end && IsSeparatorChar(commandLine[i])) ++i;
      if (i + 1 < end && commandLine[i] == '"' && commandLine[i + 1] == '"')
        i += 2;
      else
        break;
    }
    ByteString parameter;
    while (i < end && !IsSeparatorChar(commandLine[i])) {
      if (commandLine[i] == '"') {
        ++i;
        while (i < end && commandLine[i] != '"') parameter += commandLine[i++];
        if (i < end) ++i;
      } else {
        parameter += commandLine[i++];
      }
    }
    if (parameter.empty()) break;
    parameters.push_back(parameter);
  }
  return parameters;
}

void ParseCommandLine() {
  const ByteString program = platform::ModuleFileName();
  const std::size_t separator = program.find_last_of("\\:");
  UninstallMode =
      AsciiLower(separator == ByteString::npos ? program : program.substr(separator + 1)) ==
      "uninstall.exe";

  ParamList->Clear();
  const std::vector<ByteString> parameters = SplitParameters(platform::CommandLine());
  // Parameter 0 is the program itself; its path comes from the system instead.
  for (std::size_t i = 1; i < parameters.size(); ++i) {
    if (AsciiLower(parameters[i]) == "/uninst") UninstallMode = true;
    ParamList->Add(parameters[i]);
  }
}
