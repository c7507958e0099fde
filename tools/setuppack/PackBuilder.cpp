#include "PackBuilder.h"

#include <filesystem>
#include <limits>
#include <vector>

#include "CommaText.h"
#include "FileUtil.h"
#include "LanguageData.h"
#include "package/ProgramImage.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"

namespace setuppack {

namespace {

// The setup reads counts as signed 32-bit numbers and its own file whole, up
// to 2^31 - 1 bytes.
constexpr std::size_t kLargest = std::numeric_limits<int32_t>::max();

constexpr int kFileLevel = 3;     // each file: zlib's strongest level
constexpr int kSectionLevel = 2;  // script and packed data: zlib's default

bool IsSaveAction(const std::string& action) { return action == "save" || action == "saveifnotexists"; }

// A Source= path must name a file below the root: relative, without "..",
// without a drive or a colon.
bool SafeRelativePath(const std::string& source, std::string& relative) {
  relative.clear();
  if (source.empty() || source[0] == '/' || source[0] == '\\' || source.find(':') != std::string::npos)
    return false;
  std::string component;
  auto take = [&]() {
    if (component == "..") return false;
    if (!component.empty() && component != ".") {
      if (!relative.empty()) relative += '/';
      relative += component;
    }
    component.clear();
    return true;
  };
  for (char c : source) {
    if (c == '/' || c == '\\') {
      if (!take()) return false;
    } else {
      component += c;
    }
  }
  return take() && !relative.empty();
}

class ScriptPacker {
public:
  ScriptPacker(const std::string& sourceName, const std::string& root, std::string& packedData)
      : sourceName_(sourceName), root_(root), packedData_(packedData) {}

  bool PackLine(std::size_t number, const std::string& line, std::string& out, std::string& error) {
    where_ = sourceName_ + " line " + std::to_string(number) + ": ";
    std::vector<std::string> items;
    if (!SplitCommaText(line, items)) return Fail(error, "a quoted item is never closed: " + line);
    if (items.empty()) return Fail(error, "empty line (the setup would stop at it)");
    const int actionIndex = FindItem(items, "action");
    const std::string action = actionIndex < 0 ? std::string() : ItemValue(items[static_cast<std::size_t>(actionIndex)]);
    if (!IsSaveAction(action)) {
      out = line;
      return true;
    }
    return PackSaveLine(items, static_cast<std::size_t>(actionIndex), action, out, error);
  }

private:
  bool Fail(std::string& error, const std::string& text) const {
    error = where_ + text;
    return false;
  }

  bool PackSaveLine(const std::vector<std::string>& items, std::size_t actionIndex, const std::string& action,
                    std::string& out, std::string& error) {
    if (FindItem(items, "OrigLen") >= 0 || FindItem(items, "ComprLen") >= 0)
      return Fail(error, "OrigLen and ComprLen are written by the packer; name the file with Source= instead");
    if (ValueOf(items, "Filename").empty()) return Fail(error, action + " line without Filename=");
    const std::string source = ValueOf(items, "Source");
    if (source.empty()) return Fail(error, action + " line without Source=");
    const std::string stored = ValueOf(items, "Stored");
    if (!stored.empty() && stored != "0" && stored != "1")
      return Fail(error, "Stored= must be 0 or 1, not \"" + stored + "\"");

    std::string relative;
    if (!SafeRelativePath(source, relative))
      return Fail(error, "Source=" + source + " is outside --root (give a relative path without \"..\")");
    const std::string path = (std::filesystem::path(root_) / relative).string();
    std::string contents;
    const ReadResult read = ReadFileBytes(path, contents);
    if (read != ReadResult::kOk) return Fail(error, "source " + DescribeReadFailure(read, path));
    if (contents.empty()) return Fail(error, "source file is empty (the setup cannot write an empty file): " + path);
    if (contents.size() > kLargest) return Fail(error, "source file is larger than 2 GB: " + path);

    std::vector<std::string> written{"action=" + action, "OrigLen=" + std::to_string(contents.size())};
    if (stored == "1") {
      packedData_ += contents;
    } else {
      const std::string stream = CompressBytes(contents, kFileLevel);
      written.push_back("ComprLen=" + std::to_string(stream.size()));
      packedData_ += stream;
    }
    if (packedData_.size() > kLargest) return Fail(error, "the packed files exceed 2 GB");

    for (std::size_t i = 0; i < items.size(); ++i) {
      const std::string name = ItemName(items[i]);
      if (i == actionIndex || SameName(name, "Source") || SameName(name, "Stored")) continue;
      written.push_back(items[i]);
    }
    out = JoinCommaText(written);
    return true;
  }

  std::string sourceName_;
  std::string root_;
  std::string& packedData_;
  std::string where_;
};

bool ReadInput(const std::string& path, const char* what, std::string& bytes, std::string& error) {
  const ReadResult read = ReadFileBytes(path, bytes);
  if (read == ReadResult::kOk) return true;
  error = std::string(what) + " " + DescribeReadFailure(read, path);
  return false;
}

}  // namespace

bool PackScript(const std::string& source, const std::string& sourceName, const std::string& root,
                std::string& script, std::string& packedData, std::string& error) {
  script.clear();
  packedData.clear();
  const std::size_t zero = source.find('\0');
  if (zero != std::string::npos) {
    error = sourceName + ": contains a zero byte at offset " + std::to_string(zero) + " (the setup would stop reading there)";
    return false;
  }
  ScriptPacker packer(sourceName, root, packedData);
  const std::vector<std::string> lines = SplitLines(source);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string out;
    if (!packer.PackLine(i + 1, lines[i], out, error)) return false;
    script += out;
    script += "\r\n";
  }
  return true;
}

bool BuildPackage(const BuildInputs& inputs, std::string& package, std::string& error) {
  package.clear();
  std::string stub, source, language;
  if (!ReadInput(inputs.stubPath, "stub", stub, error)) return false;
  if (stub.empty()) {
    error = "stub is empty: " + inputs.stubPath;
    return false;
  }
  std::size_t markerLength = 0;
  if (FindSectionMarker(kSectionBeginningMark, stub, markerLength) != 0) {
    error = "stub already carries sections (it is a package, not a stub): " + inputs.stubPath;
    return false;
  }
  ImageHeaderFields header;
  if (ReadImageHeader(stub, header) && header.certSize != 0) {
    error = "stub carries a signature (a certificate table of " + std::to_string(header.certSize) +
            " bytes): sections appended behind a signature break it; build from the unsigned stub, then sign the package: " +
            inputs.stubPath;
    return false;
  }
  if (!ReadInput(inputs.scriptPath, "script", source, error)) return false;
  std::error_code fsError;
  if (!std::filesystem::is_directory(inputs.rootPath, fsError)) {
    error = "--root is not a folder: " + inputs.rootPath;
    return false;
  }

  std::vector<std::pair<const char*, std::string>> sections;
  sections.emplace_back(kSectionBeginningMark, std::string());
  if (!inputs.languagePath.empty()) {
    std::string raw, converted, why;
    if (!ReadInput(inputs.languagePath, "language", raw, error)) return false;
    if (!ToUtf16LeWithBom(raw, converted, why)) {
      error = inputs.languagePath + ": " + why;
      return false;
    }
    sections.emplace_back(kSectionSetupLng, std::move(converted));
  }

  std::string script, packedData;
  try {
    if (!PackScript(source, inputs.scriptPath, inputs.rootPath, script, packedData, error)) return false;
    sections.emplace_back(kSectionSetupCmd, CompressBytes(script, kSectionLevel));
    std::string().swap(script);
    sections.emplace_back(kSectionSetupBin, CompressBytes(packedData, kSectionLevel));
    std::string().swap(packedData);
  } catch (const EZLibError& zlibError) {
    error = std::string("compression failed: ") + zlibError.what();
    return false;
  }

  std::size_t total = stub.size();
  for (const auto& section : sections) total += MakeSectionMarker(section.first).size() + 4 + section.second.size();
  if (total > kLargest) {
    error = "the package would exceed 2 GB, which the setup cannot read";
    return false;
  }
  package.reserve(total);
  package = std::move(stub);
  const std::size_t sectionStart = package.size();
  for (const auto& section : sections) package += BuildSection(section.first, section.second);

  // Readers take the first occurrence of a marker: make sure no payload
  // happens to contain the marker of a section behind it.
  const std::string_view sectionPart = std::string_view(package).substr(sectionStart);
  for (const auto& section : sections) {
    std::string_view payload;
    if (!ReadSectionIn(section.first, sectionPart, payload) || payload != section.second) {
      error = std::string("the marker of ") + section.first + " occurs inside an earlier section; the package would be unreadable";
      package.clear();
      return false;
    }
  }
  return true;
}

}  // namespace setuppack
