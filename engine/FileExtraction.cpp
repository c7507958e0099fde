#include "engine/FileExtraction.h"

#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/InstalledFiles.h"
#include "engine/PathVariables.h"
#include "package/ZLibHelpers.h"

bool SaveFile(const CommandItems& items, PackedData& remaining, bool spareExisting) {
  ByteString fileName = CommandValue(items, "Filename");
  if (fileName.empty()) {
    AddError("no file name");
    return false;
  }
  ExpandPathVariables(fileName);

  const int32_t origLen = IntOrMinusOne(CommandValue(items, "OrigLen"));
  if (origLen <= 0) {
    AddError("OrigLen is 0 in " + fileName);
    return false;
  }

  // Raw data stays a view into the packed data; only a stream is copied out.
  std::string_view contents;
  const ByteString comprText = CommandValue(items, "ComprLen");
  if (comprText.empty()) {
    contents = remaining.Take(static_cast<std::size_t>(origLen));
    if (contents.size() < static_cast<std::size_t>(origLen)) {
      AddError("data error in " + fileName);
      return false;
    }
  } else {
    const int32_t comprLen = IntOrMinusOne(comprText);
    if (comprLen <= 0) {
      AddError("ComprLen is 0 in " + fileName);
      return false;
    }
    const std::string_view stream = remaining.Take(static_cast<std::size_t>(comprLen));
    if (stream.size() < static_cast<std::size_t>(comprLen)) {
      AddError("data error in " + fileName);
      return false;
    }
    // One buffer serves every file (allocating and freeing one per file costs
    // page faults each time); OrigLen sizes it. Corrupt data raises and ends the run.
    static ByteString decompressed;
    DecompressBytesInto(stream, decompressed, static_cast<std::size_t>(origLen));
    if (decompressed.empty()) {
      AddError("decompress error in " + fileName);
      return false;
    }
    contents = decompressed;
  }

  const bool result = (spareExisting && IsExistingFile(fileName)) || WriteWholeFile(fileName, contents);
  if (Exec.empty() && LowerFileExtension(fileName) == ".exe") Exec = fileName;
  return result;
}
