#include "engine/FileExtraction.h"

#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/InstalledFiles.h"
#include "engine/PathVariables.h"

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

  std::size_t comprLen = 0;
  const ByteString comprText = CommandValue(items, "ComprLen");
  if (!comprText.empty()) {
    const int32_t stated = IntOrMinusOne(comprText);
    if (stated <= 0) {
      AddError("ComprLen is 0 in " + fileName);
      return false;
    }
    comprLen = static_cast<std::size_t>(stated);
  }
  const PackedFile file = remaining.TakeFile(static_cast<std::size_t>(origLen), comprLen);
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
