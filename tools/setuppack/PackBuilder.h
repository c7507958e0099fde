#pragma once
// Building a setup package: the stub followed by the sections
// "Section:BeginningMark", "Section:Setup.lng" (with language data),
// "Section:Setup.cmd" and "Section:Setup.bin".
#include <string>

namespace setuppack {

struct BuildInputs {
  std::string stubPath;
  std::string scriptPath;
  std::string rootPath;
  std::string languagePath;  // empty: no language data
};

// Turns the script source into the shipped script: every "save" and
// "saveifnotexists" line's Source= file is read below `root`, compressed
// (or stored raw with Stored=1) and appended to `packedData`, and the line is
// rewritten with "OrigLen" and "ComprLen". `sourceName` names the script in
// messages.
bool PackScript(const std::string& source, const std::string& sourceName, const std::string& root,
                std::string& script, std::string& packedData, std::string& error);

bool BuildPackage(const BuildInputs& inputs, std::string& package, std::string& error);

}  // namespace setuppack
