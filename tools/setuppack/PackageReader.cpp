#include "PackageReader.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "CommaText.h"
#include "FileUtil.h"
#include "package/ProgramImage.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "package/ZstdHelpers.h"

namespace setuppack {

namespace fs = std::filesystem;

namespace {

struct SectionEntry {
  std::string name;
  int64_t declaredLength = 0;
  std::size_t available = 0;  // payload bytes actually in the file
};

class Package {
public:
  bool Open(const std::string& path, std::string& error) {
    const ReadResult read = ReadFileBytes(path, bytes_);
    if (read != ReadResult::kOk) {
      error = DescribeReadFailure(read, path);
      return false;
    }
    std::size_t markerLength = 0;
    const std::size_t position = FindSectionMarker(kSectionBeginningMark, bytes_, markerLength);
    if (position == 0) {
      error = path + " carries no setup sections";
      return false;
    }
    sectionPart_ = std::string_view(bytes_).substr(position - 1);
    // A signed package: the certificate table follows the last section,
    // after padding to a multiple of 8 bytes.
    ImageHeaderFields header;
    if (ReadImageHeader(bytes_, header) && header.certSize != 0 && header.certOffset >= position - 1 &&
        header.certOffset <= bytes_.size()) {
      certificateSize_ = bytes_.size() - header.certOffset;
      sectionPart_ = sectionPart_.substr(0, header.certOffset - (position - 1));
    }
    return true;
  }

  // Bytes of the certificate table behind the sections; 0 when not signed.
  std::size_t CertificateSize() const { return certificateSize_; }

  const std::string& Bytes() const { return bytes_; }
  std::size_t StubSize() const { return static_cast<std::size_t>(sectionPart_.data() - bytes_.data()); }
  std::size_t FileSize() const { return bytes_.size(); }

  // The sections back to back from the beginning mark; stops at the first
  // bytes that do not start a marker.
  std::vector<SectionEntry> Walk(std::size_t& unknownTail) const {
    std::vector<SectionEntry> entries;
    const std::string_view data = sectionPart_;
    std::size_t p = 0;
    unknownTail = 0;
    while (p < data.size()) {
      const std::size_t close = static_cast<unsigned char>(data[p]) == 0xF7 ? data.find('\xF7', p + 1) : std::string_view::npos;
      if (close == std::string_view::npos || close + 5 > data.size()) break;
      SectionEntry entry;
      for (std::size_t i = p + 1; i < close; ++i)
        entry.name += static_cast<char>(static_cast<unsigned char>(data[i]) ^ kSectionMarkerKey);
      if (MakeSectionMarker(entry.name) != data.substr(p, close + 1 - p)) break;
      uint32_t raw = 0;
      for (int i = 0; i < 4; ++i) raw |= static_cast<uint32_t>(static_cast<unsigned char>(data[close + 1 + i])) << (8 * i);
      entry.declaredLength = static_cast<int32_t>(raw);
      const std::size_t payloadStart = close + 5;
      const std::size_t length = entry.declaredLength > 0 ? static_cast<std::size_t>(entry.declaredLength) : 0;
      entry.available = std::min(length, data.size() - payloadStart);
      entries.push_back(entry);
      if (entry.declaredLength < 0) {
        p = data.size();
        break;
      }
      p = payloadStart + entry.available;
    }
    unknownTail = data.size() - p;
    // The zero bytes that align a certificate table.
    if (certificateSize_ != 0 && unknownTail < 8 && data.find_first_not_of('\0', p) == std::string_view::npos)
      unknownTail = 0;
    return entries;
  }

  // The payload as the setup reads it.
  bool Read(const char* name, std::string_view& payload) const { return ReadSectionIn(name, sectionPart_, payload); }

  // The packed files' section as the setup chooses it: whichever of the two
  // codecs' sections comes first.
  // An update's section is laid out as the zstd codec's.
  bool ReadPacked(std::string_view& payload, PackedCodec& codec, const char*& name) const {
    std::size_t markerLength = 0;
    name = kSectionSetupBin;
    std::size_t first = 0;
    for (const char* candidate : {kSectionSetupBin, kSectionSetupZst, kSectionSetupDlt}) {
      const std::size_t at = FindSectionMarker(candidate, sectionPart_, markerLength);
      if (at != 0 && (first == 0 || at < first)) {
        first = at;
        name = candidate;
      }
    }
    codec = name == kSectionSetupBin ? PackedCodec::kZlib : PackedCodec::kZstd;
    return Read(name, payload);
  }

private:
  std::string bytes_;
  std::string_view sectionPart_;
  std::size_t certificateSize_ = 0;
};

bool Decompress(const char* name, std::string_view payload, std::string& text, std::string& error) {
  try {
    text = DecompressBytes(payload);
    return true;
  } catch (const EZLibError& zlibError) {
    error = std::string(name) + " is damaged: " + zlibError.what();
    return false;
  }
}

// The whole packed data of a section of either codec.
bool DecodePacked(const char* name, PackedCodec codec, std::string_view payload, std::string& data, std::string& error) {
  if (codec == PackedCodec::kZlib) return Decompress(name, payload, data, error);
  try {
    const std::unique_ptr<StreamDecoder> decoder = MakeStreamDecoder(codec);
    constexpr std::size_t kStep = std::size_t{4} << 20;
    std::size_t produced = 0;
    data.clear();
    while (!decoder->Ended()) {
      if (data.size() - produced < kStep) data.resize(std::max(data.size() * 2, produced + kStep));
      const std::size_t made = decoder->Decode(payload, &data[produced], data.size() - produced, true);
      produced += made;
    }
    data.resize(produced);
    return true;
  } catch (const EZLibError& decodeError) {
    error = std::string(name) + " is damaged: " + decodeError.what();
    return false;
  }
}

// Reads a signed 32-bit number as the setup does; -1 when it is not one.
int64_t NumberOf(const std::string& text) {
  if (text.empty()) return -1;
  std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size()) return -1;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return -1;
  }
  if (text[0] == '-') value = -value;
  return value >= INT32_MIN && value <= INT32_MAX ? value : -1;
}

struct PlannedFile {
  std::size_t line = 0;
  std::string filename;
  std::string relative;
  std::size_t offset = 0;
  std::size_t length = 0;
  bool compressed = false;
  int64_t origLen = 0;
};

bool PlanFiles(const std::vector<std::string>& lines, std::size_t dataSize, std::vector<PlannedFile>& plan,
               std::size_t& unclaimed, std::string& error) {
  std::size_t offset = 0;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::vector<std::string> items;
    const std::string where = "Setup.cmd line " + std::to_string(n + 1) + ": ";
    if (!SplitCommaText(lines[n], items)) {
      error = where + "a quoted item is never closed";
      return false;
    }
    const std::string action = ValueOf(items, "action");
    if (action != "save" && action != "saveifnotexists" && action != "patch") continue;
    PlannedFile file;
    file.line = n;
    file.filename = ValueOf(items, "Filename");
    if (!ExtractionPath(file.filename, file.relative)) {
      error = where + "file name cannot be extracted safely: \"" + file.filename + "\"";
      return false;
    }
    if (file.relative == "Setup.cmd" || file.relative == "Setup.lng" || file.relative == "Uninst.txt") {
      error = where + "file name clashes with the extracted " + file.relative;
      return false;
    }
    file.origLen = NumberOf(ValueOf(items, "OrigLen"));
    if (file.origLen <= 0) {
      error = where + "OrigLen is 0 in " + file.filename;
      return false;
    }
    const std::string comprLen = ValueOf(items, "ComprLen");
    int64_t length = file.origLen;
    if (action == "patch") {
      // Its patch, raw; none when the file is the base's unchanged.
      length = NumberOf(ValueOf(items, "PatchLen"));
      if (length < 0) {
        error = where + "PatchLen is missing in " + file.filename;
        return false;
      }
    } else if (!comprLen.empty()) {
      length = NumberOf(comprLen);
      if (length <= 0) {
        error = where + "ComprLen is 0 in " + file.filename;
        return false;
      }
      file.compressed = true;
    }
    file.offset = offset;
    file.length = static_cast<std::size_t>(length);
    if (dataSize - offset < file.length) {
      error = where + "data error in " + file.filename + " (the packed data ends early)";
      return false;
    }
    offset += file.length;
    plan.push_back(file);
  }
  unclaimed = dataSize - offset;
  return true;
}

bool MakeParentFolders(const fs::path& target, std::string& error) {
  std::error_code fsError;
  fs::create_directories(target.parent_path(), fsError);
  if (fsError) {
    error = "cannot create the folder " + target.parent_path().string() + ": " + fsError.message();
    return false;
  }
  return true;
}

bool WriteOut(const fs::path& target, const std::string& bytes, std::ostream& out, std::string& error) {
  if (!MakeParentFolders(target, error)) return false;
  if (!WriteFileBytes(target.string(), bytes)) {
    error = "cannot write " + target.string();
    return false;
  }
  out << target.string() << " (" << bytes.size() << " bytes)\n";
  return true;
}

void PrintLines(const std::string& text, std::ostream& out) {
  for (const std::string& line : SplitLines(text)) out << line << '\n';
}

// An update's base and what it carries of each file.
void ListUpdate(const std::string& script, std::ostream& out) {
  std::string base = "(not stated)";
  std::vector<std::string> files;
  for (const std::string& line : SplitLines(script)) {
    std::vector<std::string> items;
    if (!SplitCommaText(line, items)) continue;
    const std::string action = ValueOf(items, "action");
    const std::string name = ValueOf(items, "Filename");
    if (action == "path" && !ValueOf(items, "BaseVersion").empty()) base = ValueOf(items, "BaseVersion");
    if (action == "patch") {
      const std::string patchLen = ValueOf(items, "PatchLen");
      files.push_back(patchLen == "0" ? "unchanged  " + name : "patched (" + patchLen + " bytes)  " + name);
    } else if (action == "save" || action == "saveifnotexists") {
      files.push_back("whole (" + ValueOf(items, "OrigLen") + " bytes)  " + name);
    }
  }
  out << "Update of version " << base << ":\n";
  for (const std::string& file : files) out << "  " << file << '\n';
}

}  // namespace

bool ReadPackageContents(const std::string& path, PackageContents& contents, std::string& error) {
  Package package;
  if (!package.Open(path, error)) return false;
  contents = PackageContents();
  contents.stub.assign(std::string_view(package.Bytes()).substr(0, package.StubSize()));
  std::string_view payload;
  if (package.Read(kSectionSetupLng, payload)) contents.language.assign(payload);
  if (!package.Read(kSectionSetupCmd, payload) || payload.empty()) {
    error = path + " carries no script";
    return false;
  }
  if (!Decompress(kSectionSetupCmd, payload, contents.script, error)) return false;
  contents.update = package.Read(kSectionSetupDlt, payload);
  PackedCodec codec = PackedCodec::kZlib;
  const char* name = nullptr;
  std::string packedData;
  if (package.ReadPacked(payload, codec, name) && !payload.empty() &&
      !DecodePacked(name, codec, payload, packedData, error))
    return false;
  contents.lines = SplitLines(contents.script);
  std::vector<PlannedFile> plan;
  std::size_t unclaimed = 0;
  if (!PlanFiles(contents.lines, packedData.size(), plan, unclaimed, error)) return false;
  for (const PlannedFile& file : plan) {
    const std::string_view stored = std::string_view(packedData).substr(file.offset, file.length);
    std::string& data = contents.files[file.line];
    if (file.compressed) {
      if (!Decompress(file.filename.c_str(), stored, data, error)) return false;
    } else {
      data.assign(stored);
    }
  }
  return true;
}

bool ExtractionPath(const std::string& filename, std::string& relative) {
  relative.clear();
  std::string component;
  bool first = true;
  auto take = [&]() {
    std::string cleaned;
    for (std::size_t i = 0; i < component.size(); ++i) {
      const char c = component[i];
      if (c == '*') continue;
      // A drive "C:" keeps its letter; any other colon cannot stand in a name.
      if (c == ':') {
        if (!(first && i == 1 && component.size() == 2)) cleaned += '_';
        continue;
      }
      cleaned += c;
    }
    first = false;
    component.clear();
    if (cleaned == "..") return false;
    if (cleaned.empty() || cleaned == ".") return true;
    if (!relative.empty()) relative += '/';
    relative += cleaned;
    return true;
  };
  for (char c : filename) {
    if (c == '\\' || c == '/') {
      if (!take()) return false;
    } else {
      component += c;
    }
  }
  return take() && !relative.empty();
}

bool ListPackage(const std::string& path, std::ostream& out, std::string& error) {
  Package package;
  if (!package.Open(path, error)) return false;
  out << path << ": " << package.FileSize() << " bytes, stub part " << package.StubSize() << " bytes\n";
  std::size_t unknownTail = 0;
  for (const SectionEntry& entry : package.Walk(unknownTail)) {
    out << "  " << entry.name << "  " << entry.available << " bytes";
    if (entry.declaredLength < 0) out << " (negative length " << entry.declaredLength << ")";
    else if (static_cast<std::size_t>(entry.declaredLength) != entry.available)
      out << " (length says " << entry.declaredLength << ", the file ends early)";
    out << '\n';
  }
  if (unknownTail > 0) out << "  " << unknownTail << " bytes that are not a section\n";
  if (package.CertificateSize() > 0)
    out << "  certificate table (signature)  " << package.CertificateSize() << " bytes\n";

  std::string_view payload;
  std::string script, text;
  bool any = false;
  if (package.Read(kSectionSetupCmd, payload) && !payload.empty()) {
    if (!Decompress(kSectionSetupCmd, payload, script, error)) return false;
    out << "Setup.cmd:\n";
    PrintLines(script, out);
    any = true;
  }
  if (package.Read(kSectionUninst, payload) && !payload.empty()) {
    if (!Decompress(kSectionUninst, payload, text, error)) return false;
    out << "Uninst:\n";
    PrintLines(text, out);
    any = true;
  }
  if (!any) out << "(neither a script nor uninstall information)\n";
  if (package.Read(kSectionSetupDlt, payload)) ListUpdate(script, out);
  return true;
}

bool ExtractPackage(const std::string& path, const std::string& folder, std::ostream& out, std::string& error) {
  Package package;
  if (!package.Open(path, error)) return false;
  const fs::path root(folder);

  std::string_view payload;
  std::string script;
  const bool hasScript = package.Read(kSectionSetupCmd, payload) && !payload.empty();
  if (hasScript && !Decompress(kSectionSetupCmd, payload, script, error)) return false;

  // Plan every file before writing any, so that a damaged package is refused
  // before the folder fills up.
  std::string packedData;
  std::vector<PlannedFile> plan;
  if (hasScript) {
    PackedCodec codec = PackedCodec::kZlib;
    const char* name = nullptr;
    if (package.ReadPacked(payload, codec, name) && !payload.empty() &&
        !DecodePacked(name, codec, payload, packedData, error))
      return false;
    std::size_t unclaimed = 0;
    if (!PlanFiles(SplitLines(script), packedData.size(), plan, unclaimed, error)) return false;
    if (unclaimed > 0) out << "warning: " << unclaimed << " bytes of packed data belong to no line\n";
  }

  if (hasScript && !WriteOut(root / "Setup.cmd", script, out, error)) return false;
  if (package.Read(kSectionSetupLng, payload) && !payload.empty() &&
      !WriteOut(root / "Setup.lng", std::string(payload), out, error))
    return false;
  if (package.Read(kSectionUninst, payload) && !payload.empty()) {
    std::string information;
    if (!Decompress(kSectionUninst, payload, information, error)) return false;
    if (!WriteOut(root / "Uninst.txt", information, out, error)) return false;
  }

  for (const PlannedFile& file : plan) {
    // Each file is a view at its offset into the packed data: nothing is cut
    // from the front of the buffer.
    const std::string_view stored = std::string_view(packedData).substr(file.offset, file.length);
    std::string contents;
    if (file.compressed) {
      if (!Decompress(file.filename.c_str(), stored, contents, error)) return false;
    } else {
      contents.assign(stored.data(), stored.size());
    }
    if (static_cast<int64_t>(contents.size()) != file.origLen)
      out << "warning: " << file.filename << " has " << contents.size() << " bytes, OrigLen says " << file.origLen << '\n';
    if (!WriteOut((root / fs::path(file.relative)).make_preferred(), contents, out, error)) return false;
  }
  return true;
}

}  // namespace setuppack
