#pragma once
// Building a setup package: the stub followed by the sections
// "Section:BeginningMark", "Section:Setup.lng" (with language data),
// "Section:Setup.cmd" and "Section:Setup.bin".
#include <string>
#include <utility>
#include <vector>
#include "SectionWriters.h"

namespace setuppack {

struct PackOptions {
  Codec codec = Codec::kZlib;
  unsigned threads = 1;  // packing threads; the bytes are the same for any number
  bool progress = false;  // a progress line on a terminal
};

struct BuildInputs {
  std::string stubPath;
  std::string scriptPath;
  std::string rootPath;
  std::string languagePath;  // empty: no language data
  PackOptions options;
};

// Turns the script source into the shipped script and the packed files'
// section payload: every "save" and "saveifnotexists" line's Source= file is
// read below `root`, stored in the packed data, and the line is rewritten
// with "OrigLen" and "ComprLen". With zlib each file is its own zlib stream
// (raw with Stored=1) in one zlib stream; with zstd every file is stored raw
// ("OrigLen" only) in one zstd frame. `sourceName` names the script in
// messages.
bool PackScript(const std::string& source, const std::string& sourceName, const std::string& root,
                const PackOptions& options, std::string& script, std::string& packedSection, std::string& error);

bool BuildPackage(const BuildInputs& inputs, std::string& package, std::string& error);

// The stub and the sections, in order, as one package; refused when a
// payload holds a marker that would mislead the setup's reader (`packedName`:
// the packed files' section among them).
bool AssemblePackage(std::string stub, const std::vector<std::pair<const char*, std::string>>& sections,
                     const char* packedName, std::string& package, std::string& error);

}  // namespace setuppack
