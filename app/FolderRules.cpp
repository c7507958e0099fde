#include "app/FolderRules.h"

#include "engine/PathVariables.h"

ByteString TrimBlanks(const ByteString& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

ByteString FilePathOf(const ByteString& fileName) {
  std::size_t pos = fileName.find_last_of("\\:");
  return pos == ByteString::npos ? ByteString() : fileName.substr(0, pos + 1);
}

bool CheckProgramFolder(ByteString& folder) {
  folder = TrimBlanks(folder);
  bool drive = folder.size() >= 2 && folder[1] == ':';
  bool unc = folder.compare(0, 2, "\\\\") == 0;
  if (!drive && !unc) return false;
  if (folder.back() != '\\') folder += '\\';
  return ParentFolderOf(folder.substr(0, folder.size() - 1)).size() >= 3;
}

ByteString ChosenProgramFolder(const ByteString& fileName) {
  ByteString folder = FilePathOf(fileName);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  ByteString lower = folder;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (lower.find("quil") == ByteString::npos) folder += "Quillon\\";
  return folder;
}

bool FolderLengthAllowed(const ByteString& folder, bool longPathsEnabled) {
  return longPathsEnabled || folder.size() <= kShortPathsFolderLength;
}
