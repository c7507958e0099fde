#pragma once
// The names on the way from a folder down to a path below it, for the
// guarded changes of platform/Files.h: "C:\A" and "C:\a\B\c.txt" give
// {"B", "c.txt"}. Letters compare without case, as Windows' names do.
#include <vector>
#include "base/Text.h"

namespace platform {

inline bool NamesBelow(ByteString folder, const ByteString& path, std::vector<ByteString>& names) {
  names.clear();
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != '\\') return false;
  for (std::size_t i = 0; i < folder.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(folder[i]) != lower(path[i])) return false;
  }
  // Doubled separators name the same path, as the system reads it.
  for (std::size_t start = folder.size() + 1; start < path.size();) {
    std::size_t end = path.find('\\', start);
    if (end == ByteString::npos) end = path.size();
    const ByteString name = path.substr(start, end - start);
    if (name == "." || name == ".." || name.find_first_of(":/") != ByteString::npos) return false;
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return !names.empty();
}

}  // namespace platform
