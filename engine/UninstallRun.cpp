// The uninstall run: command line, uninstall information, removal of the
// registry entry, the installed files and the emptied folders.
#include <algorithm>
#include <string>

#include "base/ByteStringList.h"
#include "engine/EngineValues.h"
#include "engine/FileExtraction.h"
#include "engine/Uninstaller.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Registry.h"

namespace {

bool IsSeparatorChar(char c) { return c != '\0' && static_cast<unsigned char>(c) <= 32; }

ByteString AsciiLower(ByteString text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

ByteString TrimControls(const ByteString& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

// Data files the user made with the product; they survive the uninstall.
bool IsKeptFile(const ByteString& path) {
  const ByteString extension = LowerFileExtension(path);
  return extension == ".qda" || extension == ".qlg" || extension == ".qdb";
}

bool StartsWith(const ByteString& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

std::vector<ByteString> SplitParameters(const ByteString& commandLine) {
  std::vector<ByteString> parameters;
  // A NUL byte ends the command line.
  const std::size_t end = std::min(commandLine.size(), commandLine.find('\0'));
  std::size_t i = 0;
  for (;;) {
    for (;;) {
      while (i < end && IsSeparatorChar(commandLine[i])) ++i;
      if (i + 1 < end && commandLine[i] == '"' && commandLine[i + 1] == '"')
        i += 2;
      else
        break;
    }
    ByteString parameter;
    while (i < end && !IsSeparatorChar(commandLine[i])) {
      if (commandLine[i] == '"') {
        ++i;
        while (i < end && commandLine[i] != '"') parameter += commandLine[i++];
        if (i < end) ++i;
      } else {
        parameter += commandLine[i++];
      }
    }
    if (parameter.empty()) break;
    parameters.push_back(parameter);
  }
  return parameters;
}

void ParseCommandLine() {
  const ByteString program = platform::ModuleFileName();
  const std::size_t separator = program.find_last_of("\\:");
  UninstallMode =
      AsciiLower(separator == ByteString::npos ? program : program.substr(separator + 1)) ==
      "uninstall.exe";

  ParamList->Clear();
  const std::vector<ByteString> parameters = SplitParameters(platform::CommandLine());
  // Parameter 0 is the program itself; its path comes from the system instead.
  for (std::size_t i = 1; i < parameters.size(); ++i) {
    if (AsciiLower(parameters[i]) == "/uninst") UninstallMode = true;
    ParamList->Add(parameters[i]);
  }
}

std::unique_ptr<TQStringList> ReadUninstallInfo() {
  auto lines = std::make_unique<TQStringList>();
  LoadOwnSections();
  std::string_view payload;
  ReadSection(kSectionUninst, SectionPart(), payload);
  if (payload.empty()) {
    ReportError("uninstall information not found");
    return lines;
  }
  lines->SplitText(DecompressBytes(payload));
  return lines;
}

void RemoveUninstallEntry(const ByteString& key) {
  // The guard keeps the Uninstall key itself (and its other entries) safe:
  // "Uninstall\" + "\\\" would name the root once the system drops the
  // empty parts.
  if (TrimControls(key).size() < 3) return;
  if (key.front() == '\\' || key.back() == '\\' || key.find("\\\\") != ByteString::npos) return;
  DeleteRegistryTree(ByteString(kUninstallRoot) + "\\" + key);
}

void RunUninstall() {
  RemoveUninstallEntry(ParamList->ValueOf("UninstallKey"));

  std::unique_ptr<TQStringList> info = ReadUninstallInfo();
  if (info->Count() == 0) return;
  // When the setup reused an earlier entry, this key differs from the one
  // on the command line; both are removed.
  RemoveUninstallEntry(info->ValueOf("UninstallKey"));

  // Files, in the reverse order of their writing.
  for (int32_t i = info->Count() - 1; i >= 0; --i) {
    const ByteString line = info->ItemText(i);
    if (!StartsWith(line, "file=")) continue;
    info->DeleteAt(i);
    const ByteString path = line.substr(5);
    if (!IsKeptFile(path)) platform::RemoveFile(path);
  }
  // Folders, ascending (the lines are stored descending): a parent that
  // still holds a subfolder fails here and is tried again below.
  for (int32_t i = info->Count() - 1; i >= 0; --i) {
    const ByteString line = info->ItemText(i);
    if (StartsWith(line, "dir="))
      platform::RemoveEmptyDirectory(line.substr(4));
    else
      info->DeleteAt(i);
  }
  for (int32_t i = 0; i < info->Count(); ++i) {
    const ByteString folder = info->ItemText(i).substr(4);
    const std::size_t slash = folder.find_last_of('\\');
    if (slash != ByteString::npos && slash > 0) platform::RemoveEmptyDirectory(folder.substr(0, slash));
  }
}
