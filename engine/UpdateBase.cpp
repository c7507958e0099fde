#include "engine/UpdateBase.h"

#include <map>

#include "base/ByteStringList.h"
#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/InstalledFiles.h"
#include "engine/PathVariables.h"
#include "engine/ProductSettings.h"
#include "engine/RegistryValues.h"
#include "engine/Uninstaller.h"
#include "package/BinaryPatch.h"
#include "package/Sections.h"
#include "package/Sha256.h"
#include "platform/Files.h"
#include "platform/Registry.h"

namespace {

constexpr std::size_t kHashPiece = std::size_t{1} << 20;

// The checked base files, open, by their path in small letters.
std::map<ByteString, platform::ReadHandle> gKept;

class HandleBase : public PatchBase {
public:
  explicit HandleBase(platform::ReadHandle file) : file_(file) {}
  uint64_t Size() override {
    const int64_t size = platform::SizeOfOpenFile(file_);
    return size < 0 ? 0 : static_cast<uint64_t>(size);
  }
  bool ReadAt(uint64_t offset, char* out, std::size_t size) override {
    while (size > 0) {
      const std::size_t got = platform::ReadAt(file_, offset, out, size);
      if (got == 0) return false;
      offset += got;
      out += got;
      size -= got;
    }
    return true;
  }

private:
  platform::ReadHandle file_;
};

// Opens the base file and checks it by that handle; 0 with `problem` set
// when it is missing or not the base's.
platform::ReadHandle OpenCheckedBase(const ByteString& path, const CommandItems& items, ByteString& problem) {
  const platform::ReadHandle file = platform::OpenForReading(path);
  if (file == 0) {
    problem = path + " is missing";
    return 0;
  }
  HandleBase base(file);
  const uint64_t size = base.Size();
  bool same = ByteString(std::to_string(size)) == CommandValue(items, "BaseLen");
  Sha256 digest;
  // One buffer for every file: a new one each time costs the system fresh
  // pages, which took longer than hashing the files.
  static ByteString piece;
  for (uint64_t at = 0; same && at < size; at += piece.size()) {
    piece.resize(static_cast<std::size_t>(std::min<uint64_t>(kHashPiece, size - at)));
    same = base.ReadAt(at, &piece[0], piece.size());
    digest.Add(piece);
  }
  if (same && AsciiLower(digest.HexDigest()) == AsciiLower(CommandValue(items, "BaseSha256"))) return file;
  platform::CloseReading(file);
  problem = path + " differs from the version the update was made for";
  return 0;
}

ByteString Expanded(ByteString path) {
  ExpandPathVariables(path);
  return path;
}

// "DisplayVersion" of the product's entries that name this uninstaller;
// false when there is none.
bool EntryVersion(const ByteString& product, const ByteString& uninstaller, ByteString& version) {
  platform::RegKey root = 0;
  if (product.empty() || !platform::RegOpen(ScopeHive(), kUninstallRoot, false, root)) return false;
  const std::vector<ByteString> names = platform::RegSubkeyNames(root);
  platform::RegClose(root);
  const ByteString quoted = uninstaller.find(' ') == ByteString::npos ? uninstaller : "\"" + uninstaller + "\"";
  for (const ByteString& name : names) {
    if (!StartsWith(name, product + " ")) continue;
    platform::RegKey key = 0;
    if (!platform::RegOpen(ScopeHive(), ByteString(kUninstallRoot) + "\\" + name, false, key)) continue;
    ByteString command;
    try {
      command = ReadRegistryString(key, "UninstallString");
      version = ReadRegistryString(key, "DisplayVersion");
    } catch (...) {
      command.clear();
    }
    platform::RegClose(key);
    if (StartsWith(command, quoted)) return true;
  }
  return false;
}

}  // namespace

bool OwnFileIsUpdate() {
  LoadOwnSections();
  std::size_t which = 0;
  uint64_t offset = 0, length = 0;
  return FindFirstOwnSection({kSectionSetupBin, kSectionSetupZst, kSectionSetupDlt}, which, offset, length) &&
         which == 2;
}

ByteString CheckUpdateBase(const ByteString& baseVersion, const std::vector<CommandItems>& patchLines,
                           const ByteString& product, const ByteString& uninstaller) {
  ReleaseUpdateBase();
  if (baseVersion.empty()) return "the update does not say which version it updates";
  // The entry is the setup's own record; "Ver" the product's, once it has run.
  ByteString entryVersion;
  if (!EntryVersion(product, uninstaller, entryVersion)) return "version " + baseVersion + " is not installed";
  const ByteString productVersion = ReadProductSetting("Ver");
  for (const ByteString& installed : {entryVersion, productVersion})
    if (installed != baseVersion && (!installed.empty() || &installed == &entryVersion))
      return "version " + installed + " is installed, the update is for " + baseVersion;
  for (const CommandItems& items : patchLines) {
    const ByteString path = Expanded(CommandValue(items, "Filename"));
    ByteString problem;
    const platform::ReadHandle file = OpenCheckedBase(path, items, problem);
    if (file == 0) {
      ReleaseUpdateBase();
      return problem;
    }
    gKept[AsciiLower(path)] = file;
  }
  return ByteString();
}

void ReleaseUpdateBase() {
  for (const auto& kept : gKept) platform::CloseReading(kept.second);
  gKept.clear();
}

bool PatchFile(const CommandItems& items, PackedData& remaining) {
  const ByteString fileName = Expanded(CommandValue(items, "Filename"));
  const int32_t origLen = IntOrMinusOne(CommandValue(items, "OrigLen"));
  const int32_t patchLen = IntOrMinusOne(CommandValue(items, "PatchLen"));
  if (fileName.empty() || origLen <= 0 || patchLen < 0) {
    AddError("bad patch line for " + fileName);
    return false;
  }
  std::string_view patch;
  if (patchLen > 0) {
    const PackedFile data = remaining.TakeFile(static_cast<std::size_t>(patchLen), 0);
    PatchLayout layout;
    std::size_t headerLength = 0;
    if (!data.complete || !ReadPatchHeader(data.contents, layout, headerLength) ||
        layout.newSize != static_cast<uint64_t>(origLen)) {
      AddError("data error in " + fileName);
      return false;
    }
    patch = data.contents;
  }
  // The file the check kept open, else checked now.
  ByteString problem;
  platform::ReadHandle file = 0;
  const auto kept = gKept.find(AsciiLower(fileName));
  if (kept != gKept.end()) {
    file = kept->second;
    gKept.erase(kept);
  } else {
    file = OpenCheckedBase(fileName, items, problem);
  }
  // An unchanged file was checked by the handle held since: it already is
  // the new version's, and is kept as it lies instead of written again.
  if (file != 0 && patch.empty() &&
      AsciiLower(CommandValue(items, "BaseSha256")) == AsciiLower(CommandValue(items, "Sha256"))) {
    platform::CloseReading(file);
    WrittenFiles->Add(fileName);
    if (Exec.empty() && LowerFileExtension(fileName) == ".exe") Exec = fileName;
    return true;
  }
  ByteString result;
  if (file != 0) {
    HandleBase base(file);
    if (patch.empty()) {
      result.resize(static_cast<std::size_t>(base.Size()));
      if (!base.ReadAt(0, &result[0], result.size())) problem = fileName + " cannot be read";
    } else if (!ApplyBinaryPatch(patch, base, result, problem)) {
      problem = "patch error in " + fileName + ": " + problem;
    }
    platform::CloseReading(file);  // before the file is replaced
  }
  if (problem.empty() && (result.size() != static_cast<std::size_t>(origLen) ||
                          AsciiLower(Sha256Hex(result)) != AsciiLower(CommandValue(items, "Sha256"))))
    problem = "patch error in " + fileName + ": the result is not the file the update was made for";
  if (!problem.empty()) {
    AddError(problem);
    return false;
  }
  const bool written = WriteWholeFile(fileName, result);
  if (Exec.empty() && LowerFileExtension(fileName) == ".exe") Exec = fileName;
  return written;
}
