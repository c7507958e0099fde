#include "base/TextBasics.h"
#include "engine/UninstallMerge.h"

#include <algorithm>
#include <set>
#include <vector>

#include "package/Sections.h"
#include "package/WholeFiles.h"
#include "package/ZLibHelpers.h"

namespace {

std::vector<ByteString> Lines(const ByteString& text) {
  std::vector<ByteString> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find_first_of("\r\n", begin);
    if (end == ByteString::npos) end = text.size();
    if (end > begin) lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

}  // namespace

ByteString EarlierUninstallInfo(const ByteString& path) {
  ByteString file;
  if (!ReadWholeFile(path, file)) return ByteString();
  std::string_view payload;
  if (!ReadSectionIn(kSectionUninst, file, payload) || payload.empty()) return ByteString();
  try {
    return DecompressBytes(payload);
  } catch (const EZLibError&) {
    return ByteString();
  }
}

ByteString MergeUninstallInfo(const ByteString& current, const ByteString& earlier) {
  if (earlier.empty()) return current;
  std::vector<ByteString> values, files, folders;
  std::set<ByteString> seenFiles, seenFolders;
  const auto addFile = [&](const ByteString& path) {
    if (seenFiles.insert(AsciiLower(path)).second) files.push_back(path);
  };
  const auto addFolder = [&](const ByteString& path) {
    if (seenFolders.insert(AsciiLower(path)).second) folders.push_back(path);
  };
  for (const ByteString& line : Lines(earlier)) {
    if (StartsWith(line, "file=")) addFile(line.substr(5));
    else if (StartsWith(line, "dir=")) addFolder(line.substr(4));
  }
  // A file the new version writes again counts where it was first written.
  for (const ByteString& line : Lines(current)) {
    if (StartsWith(line, "file=")) addFile(line.substr(5));
    else if (StartsWith(line, "dir=")) addFolder(line.substr(4));
    else values.push_back(line);
  }
  std::sort(folders.begin(), folders.end(),
            [](const ByteString& a, const ByteString& b) { return AsciiLower(a) > AsciiLower(b); });

  ByteString info;
  for (const ByteString& line : values) info += line + "\r\n";
  for (const ByteString& path : files) info += "file=" + path + "\r\n";
  for (const ByteString& path : folders) info += "dir=" + path + "\r\n";
  return info;
}
