#include "CommaText.h"

namespace setuppack {

namespace {
bool IsBlank(char c) { return c != '\0' && static_cast<unsigned char>(c) <= 32; }
}  // namespace

bool SplitCommaText(const std::string& line, std::vector<std::string>& items) {
  items.clear();
  std::size_t p = 0;
  const std::size_t end = line.size();
  while (p < end && IsBlank(line[p])) ++p;
  while (p < end) {
    std::string item;
    if (line[p] == '"') {
      ++p;
      for (;;) {
        if (p >= end) return false;  // the closing quote is missing
        if (line[p] == '"') {
          if (p + 1 < end && line[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += line[p++];
      }
    } else {
      const std::size_t start = p;
      while (p < end && static_cast<unsigned char>(line[p]) > 32 && line[p] != ',') ++p;
      item = line.substr(start, p - start);
    }
    items.push_back(item);
    while (p < end && IsBlank(line[p])) ++p;
    if (p < end && line[p] == ',') {
      if (p + 1 == end) items.push_back(std::string());
      do ++p; while (p < end && IsBlank(line[p]));
    }
  }
  return true;
}

std::string QuoteItem(const std::string& item) {
  bool needsQuotes = false;
  for (char c : item)
    if (static_cast<unsigned char>(c) <= 32 || c == ',' || c == '"') needsQuotes = true;
  if (!needsQuotes) return item;
  std::string quoted = "\"";
  for (char c : item) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JoinCommaText(const std::vector<std::string>& items) {
  std::string line;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) line += ',';
    line += QuoteItem(items[i]);
  }
  return line;
}

std::string ItemName(const std::string& item) {
  const std::size_t eq = item.find('=');
  return eq == std::string::npos ? std::string() : item.substr(0, eq);
}

std::string ItemValue(const std::string& item) {
  const std::size_t eq = item.find('=');
  return eq == std::string::npos ? std::string() : item.substr(eq + 1);
}

int FindItem(const std::vector<std::string>& items, const std::string& name) {
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].find('=') != std::string::npos && SameAsciiText(ItemName(items[i]), name)) return static_cast<int>(i);
  return -1;
}

std::string ValueOf(const std::vector<std::string>& items, const std::string& name) {
  const int i = FindItem(items, name);
  return i < 0 ? std::string() : ItemValue(items[static_cast<std::size_t>(i)]);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t p = 0;
  while (p < text.size()) {
    const char c = text[p];
    if (c == '\r' || c == '\n') {
      lines.push_back(text.substr(start, p - start));
      p += (c == '\r' && p + 1 < text.size() && text[p + 1] == '\n') ? 2 : 1;
      start = p;
    } else {
      ++p;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace setuppack
