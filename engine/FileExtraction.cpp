#include "engine/FileExtraction.h"

#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/InstalledFiles.h"
#include "engine/PathVariables.h"

SaveLineFault CheckSaveLine(const CommandItems& items, std::size_t& origLen, std::size_t& comprLen) {
  if (CommandValue(items, "Filename").empty()) return SaveLineFault::kNoFileName;
  const int32_t stated = IntOrMinusOne(CommandValue(items, "OrigLen"));
  if (stated <= 0) return SaveLineFault::kNoOrigLen;
  origLen = static_cast<std::size_t>(stated);
  comprLen = 0;
  const ByteString comprText = CommandValue(items, "ComprLen");
  if (!comprText.empty()) {
    const int32_t compressed = IntOrMinusOne(comprText);
    if (compressed <= 0) return SaveLineFault::kNoComprLen;
    comprLen = static_cast<std::size_t>(compressed);
  }
  return SaveLineFault::kNone;
}

bool SaveFile(const CommandItems& items, PackedData& remaining, bool spareExisting) {
  std::size_t origLen = 0, comprLen = 0;
  const SaveLineFault fault = CheckSaveLine(items, origLen, comprLen);
  if (fault == SaveLineFault::kNoFileName) {
    AddError("no file name");
    return false;
  }
  ByteString fileName = CommandValue(items, "Filename");
  ExpandPathVariables(fileName);
  if (fault != SaveLineFault::kNone) {
    AddError((fault == SaveLineFault::kNoOrigLen ? "OrigLen is 0 in " : "ComprLen is 0 in ") + fileName);
    return false;
  }
  const PackedFile file = remaining.TakeFile(origLen, comprLen);
  if (!file.complete) {
    AddError("data error in " + fileName);
    return false;
  }
  if (comprLen > 0 && file.contents.empty()) {
    AddError("decompress error in " + fileName);
    return false;
  }
  const std::string_view contents = file.contents;

  const bool result = (spareExisting && IsExistingFile(fileName)) || WriteWholeFile(fileName, contents);
  if (Exec.empty() && LowerFileExtension(fileName) == ".exe") Exec = fileName;
  return result;
}
