#include "engine/CommandLine.h"

#include <algorithm>

#include "base/TextBasics.h"
#include "base/ByteStringList.h"
#include "engine/Elevation.h"
#include "engine/JournalPlace.h"
#include "engine/EngineValues.h"
#include "platform/Process.h"

namespace {

bool IsSeparatorChar(char c) { return c != '\0' && static_cast<unsigned char>(c) <= 32; }

ByteString TrimSeparators(const ByteString& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsSeparatorChar(text[first])) ++first;
  while (last > first && IsSeparatorChar(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace

SetupSwitches Switches;

std::vector<ByteString> SplitParameters(const ByteString& commandLine, std::vector<std::size_t>* starts) {
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
    const std::size_t start = i;
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
    if (starts) starts->push_back(start);
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
  Switches = ReadSwitches(platform::CommandLine());
  Scope = Switches.currentUser ? InstallScope::CurrentUser : InstallScope::AllUsers;
}

SetupSwitches ReadSwitches(const ByteString& commandLine) {
  SetupSwitches switches;
  std::vector<std::size_t> starts;
  const std::vector<ByteString> parameters = SplitParameters(commandLine, &starts);
  const auto wrong = [&switches](const ByteString& parameter) {
    if (switches.wrong.empty()) switches.wrong = parameter;
  };
  for (std::size_t i = 1; i < parameters.size(); ++i) {
    const ByteString lower = AsciiLower(parameters[i]);
    if (StartsWith(lower, "/d=")) {
      switches.hasFolder = true;
      if (commandLine[starts[i]] == '"') {
        // Quoted as a whole: the parameter is the folder.
        switches.folder = parameters[i].substr(3);
        continue;
      }
      // Unquoted, the folder is the rest of the line and may hold blanks.
      const std::size_t end = std::min(commandLine.size(), commandLine.find('\0'));
      ByteString rest = commandLine.substr(starts[i] + 3, end - starts[i] - 3);
      rest.erase(std::remove(rest.begin(), rest.end(), '"'), rest.end());
      switches.folder = TrimSeparators(rest);
      break;
    }
    if (lower == "/s") switches.silent = true;
    else if (lower == "/nodesktop") switches.noDesktop = true;
    else if (lower == "/run") switches.run = true;
    else if (lower == "/allowdowngrade") switches.allowDowngrade = true;
    else if (lower == "/?" || lower == "/help") switches.help = true;
    else if (lower == "/passive") switches.passive = switches.silent = true;
    else if (lower == "/currentuser") switches.currentUser = true;
    else if (lower == "/allusers") switches.allUsers = true;
    else if (lower == "/norestart") switches.noRestart = true;
    else if (lower == AsciiLower(kElevatedCopySwitch)) switches.elevatedCopy = true;
    else if (lower == "/uninst") continue;
    else if (StartsWith(lower, AsciiLower(kElevatedLogSwitch))) {
      const ByteString token = parameters[i].substr(lower.find('=') + 1);
      if (IsRandomToken(token))
        switches.logToken = token;
      else
        wrong(parameters[i]);
    }
    else if (StartsWith(lower, "/log=")) {
      switches.logFile = TrimSeparators(parameters[i].substr(5));
      if (switches.logFile.empty()) wrong(parameters[i]);
    } else if (lower[0] == '/') {
      wrong(parameters[i]);
    }
  }
  // One scope or the other, not both.
  if (switches.currentUser && switches.allUsers) wrong("/CURRENTUSER /ALLUSERS");
  return switches;
}
