#pragma once
// Builds setup packages for engine tests: a stub followed by the sections a
// packer would append, with the script compressed as the packer does.
#include "base/Text.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "package/ZstdHelpers.h"
#include <zstd.h>

namespace enginetest {

struct PackageParts {
  ByteString script;          // the script text; not packed when `rawScript` is set
  bool withScript = true;     // false: no "Section:Setup.cmd" at all
  ByteString rawScript;       // a payload used as it is (for corrupt streams)
  ByteString packedFiles;     // the concatenated file data; empty: no "Section:Setup.bin"
  ByteString zstdFrame;       // a payload of "Section:Setup.zst" (ZstdFrame), in place of "Section:Setup.bin"
};

// The packed data as one zstd frame with the packer's window (and a checksum).
inline ByteString ZstdFrame(const ByteString& data, int windowLog = kZstdWindowLog) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 3);
  ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, windowLog);
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  ByteString frame(ZSTD_compressBound(data.size()), '\0');
  const std::size_t size = ZSTD_compress2(context, &frame[0], frame.size(), data.data(), data.size());
  ZSTD_freeCCtx(context);
  frame.resize(ZSTD_isError(size) ? 0 : size);
  return frame;
}

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
  if (!parts.zstdFrame.empty()) file += BuildSection(kSectionSetupZst, parts.zstdFrame);
  return file;
}

}  // namespace enginetest
