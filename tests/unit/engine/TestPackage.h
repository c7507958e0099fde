#pragma once
// Builds setup packages for engine tests: a stub followed by the sections a
// packer would append, with the script compressed as the packer does.
#include "base/Text.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"

namespace enginetest {

struct PackageParts {
  ByteString script;          // the script text; not packed when `rawScript` is set
  bool withScript = true;     // false: no "Section:Setup.cmd" at all
  ByteString rawScript;       // a payload used as it is (for corrupt streams)
  ByteString packedFiles;     // the concatenated file data; empty: no "Section:Setup.bin"
};

inline ByteString BuildPackage(const ByteString& stub, const PackageParts& parts) {
  ByteString file = stub;
  file += BuildSection(kSectionBeginningMark, "");
  if (parts.withScript) {
    const ByteString payload =
        parts.rawScript.empty() ? CompressBytes(parts.script, 2) : parts.rawScript;
    file += BuildSection(kSectionSetupCmd, payload);
  }
  if (!parts.packedFiles.empty())
    file += BuildSection(kSectionSetupBin, CompressBytes(parts.packedFiles, 2));
  return file;
}

}  // namespace enginetest
