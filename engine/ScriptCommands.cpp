#include "engine/ScriptCommands.h"

#include <algorithm>

#include "base/TextBasics.h"

namespace {

bool IsBlankOrControl(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

}  // namespace

std::vector<ByteString> SplitScriptLines(const ByteString& script) {
  std::vector<ByteString> lines;
  // A zero byte ends the whole text.
  const std::size_t end = std::min(script.find('\0'), script.size());
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < end) {
    char c = script[pos];
    if (c == '\r' || c == '\n') {
      lines.push_back(script.substr(start, pos - start));
      ++pos;
      if (c == '\r' && pos < end && script[pos] == '\n') ++pos;  // CR LF is one line end
      start = pos;
    } else {
      ++pos;
    }
  }
  if (start < end) lines.push_back(script.substr(start, end - start));
  return lines;
}

CommandItems SplitCommandItems(const ByteString& line) {
  CommandItems items;
  const std::size_t end = std::min(line.find('\0'), line.size());
  // Room for every item at once (a comma inside quotes only adds room): a
  // few thousand lines are split more than once each.
  items.reserve(static_cast<std::size_t>(std::count(line.begin(), line.begin() + end, ',')) + 1);
  std::size_t pos = 0;
  auto skipBlanks = [&] {
    while (pos < end && IsBlankOrControl(line[pos])) ++pos;
  };
  skipBlanks();
  while (pos < end) {
    ByteString item;
    if (line[pos] == '"') {
      // Quoted: up to the next quote that is not doubled. An opening quote
      // that is never closed takes the rest of the line.
      ++pos;
      while (pos < end) {
        if (line[pos] == '"') {
          if (pos + 1 < end && line[pos + 1] == '"') {
            item += '"';
            pos += 2;
          } else {
            ++pos;
            break;
          }
        } else {
          item += line[pos++];
        }
      }
    } else {
      std::size_t start = pos;
      while (pos < end && static_cast<unsigned char>(line[pos]) > 32 && line[pos] != ',') ++pos;
      item = line.substr(start, pos - start);
    }
    items.push_back(std::move(item));
    skipBlanks();
    if (pos < end && line[pos] == ',') {
      if (pos + 1 == end) items.emplace_back();  // a comma at the very end
      ++pos;
      skipBlanks();
    }
  }
  return items;
}

ByteString CommandValue(const CommandItems& items, const ByteString& name) {
  // The names are the script's keywords: compared without the locale, as
  // a line names them the same on every system (and a few thousand lines
  // ask for several names each).
  for (const ByteString& item : items) {
    std::size_t eq = item.find('=');
    if (eq == ByteString::npos) continue;
    if (SameAsciiText(std::string_view(item).substr(0, eq), name)) return item.substr(eq + 1);
  }
  return ByteString();
}

ByteString GetCommandAction(const ByteString& line) {
  return CommandValue(SplitCommandItems(line), "action");
}
