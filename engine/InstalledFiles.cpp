#include "engine/InstalledFiles.h"

#include <cstdint>

#include "base/ByteStringList.h"
#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/FileWriting.h"
#include "platform/Files.h"

ByteString LowerFileExtension(const ByteString& path) {
  const std::size_t dot = path.find_last_of('.');
  if (dot == ByteString::npos) return ByteString();
  const std::size_t separator = path.find_last_of("\\:");
  if (separator != ByteString::npos && separator > dot) return ByteString();
  ByteString extension = path.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

bool IsExistingFile(const ByteString& path) {
  const uint32_t attributes = platform::FileAttributesOf(path);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kAttrDirectory) == 0;
}

bool WriteFailedForDiskFull = false;

namespace {
// A written file's size rides with its entry (size + 1; 0: not known, as
// for a size a 32-bit entry cannot hold), so the uninstall entry's size
// asks the disk only about files the run did not write itself.
std::uintptr_t SizeTag(std::size_t size) {
  return size < UINTPTR_MAX ? static_cast<std::uintptr_t>(size) + 1 : 0;
}
}  // namespace

ByteString VolumeOf(const ByteString& path) {
  // "\\server\share\" for a network path, else "X:\".
  if (StartsWith(path, "\\\\")) {
    const std::size_t server = path.find('\\', 2);
    const std::size_t share = server == ByteString::npos ? server : path.find('\\', server + 1);
    return share == ByteString::npos ? path : path.substr(0, share + 1);
  }
  return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) + "\\" : path.substr(0, 3);
}

bool WriteWholeFile(const ByteString& path, std::string_view data) {
  const std::size_t separator = path.find_last_of("\\:");
  // A missing folder makes the write below fail, which is reported there.
  EnsureFolder(std::string_view(path).substr(0, separator == ByteString::npos ? 0 : separator + 1));
  platform::WriteFailure why = platform::WriteFailure::None;
  if (!JournalWriteFile(path, data, &why)) {
    AddError("Write Error: " + path);
    // A folder that could not be made on a full drive tells no reason: the
    // drive's room does.
    uint64_t free = 0;
    if (why != platform::WriteFailure::DiskFull && platform::FreeSpaceAt(VolumeOf(path), free) &&
        free < data.size() + 65536)
      why = platform::WriteFailure::DiskFull;
    if (why == platform::WriteFailure::DiskFull) {
      WriteFailedForDiskFull = true;
      AddError("disk full: " + VolumeOf(path));
    }
    return false;
  }
  WrittenFiles->AddWithObject(path, SizeTag(data.size()));
  return true;
}

int64_t WrittenFileSize(int32_t index) {
  const std::uintptr_t tag = WrittenFiles->ItemObject(index);
  return tag != 0 ? static_cast<int64_t>(tag - 1) : platform::SizeOfFile(WrittenFiles->ItemText(index));
}
