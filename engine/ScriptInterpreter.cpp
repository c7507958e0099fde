#include "engine/ScriptInterpreter.h"

#include <algorithm>

#include "engine/EngineErrors.h"
#include "engine/EngineValues.h"
#include "engine/FileExtraction.h"
#include "engine/ProductSettings.h"
#include "engine/ShellActions.h"
#include "engine/Uninstaller.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Text.h"

const char* const kSetupLogPath = "C:\\Setup.log";

namespace {

constexpr const char* kLineEnd = "\r\n";

bool IsBlankOrControl(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

// Writes the executed lines and the error line to the setup log, replacing
// an older log. A log that cannot be created ends the run.
void WriteSetupLog(const std::vector<ByteString>& lines) {
  ByteString log;
  for (const ByteString& line : lines) {
    log += line;
    log += kLineEnd;
  }
  if (!platform::WriteNewFile(kSetupLogPath, log.data(), log.size()))
    throw ELogFileError(ByteString("Cannot create file \"") + kSetupLogPath + "\"");
}

}  // namespace

void AddError(const ByteString& text) {
  ErrorText += text;
  ErrorText += "; ";
}

void ReportError(const ByteString& text) {
  AddError(text);
  if (!Quiet) platform::ShowErrorBox(text, "Setup");
}

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
  for (const ByteString& item : items) {
    std::size_t eq = item.find('=');
    if (eq == ByteString::npos) continue;
    if (platform::CompareAnsi(platform::kNormIgnoreCase, item.substr(0, eq), name) == 2)
      return item.substr(eq + 1);
  }
  return ByteString();
}

ByteString GetCommandAction(const ByteString& line) {
  return CommandValue(SplitCommandItems(line), "action");
}

bool ExecuteCommand(const ByteString& line, PackedData& remaining) {
  const CommandItems items = SplitCommandItems(line);
  const ByteString action = CommandValue(items, "action");
  if (action.empty()) return false;
  // Action names match byte for byte: "Path" is no action.
  if (action == "path") {
    PathAction(items);
    return true;
  }
  if (action == "save") return SaveFile(items, remaining, false);
  if (action == "saveifnotexists") return SaveFile(items, remaining, true);
  if (action == "icon") {
    IconAction(items);
    return true;
  }
  if (action == "desktopini") {
    DesktopIniAction(items);
    return true;
  }
  if (action == "exec") {
    ExecAction(items);
    return true;
  }
  if (action == "uninst") {
    RegisterUninstall(items);
    return true;
  }
  return false;
}

bool RunSetupScript(bool pathOnly) {
  LoadOwnSections();
  if (SectionsState() != kSectionsLoaded) {
    ReportError("setup information not found");
    return false;
  }
  std::string_view script;
  ReadSection(kSectionSetupCmd, SectionPart(), script);
  if (script.empty()) {
    ReportError("setup commands not found");
    return false;
  }
  std::string_view packed;
  ReadSection(kSectionSetupBin, SectionPart(), packed);

  const ByteString scriptText = DecompressBytes(script);
  // The path-only run takes no file data: it inflates the packed files all
  // the same (corrupt data raises before the question, as in the full run),
  // but without holding them, which would cost memory and page faults.
  PackedData remaining;
  if (!packed.empty()) {
    if (pathOnly)
      CheckDecompressBytes(packed);
    else
      remaining = PackedData(DecompressBytes(packed));
  }

  std::vector<ByteString> executed;
  for (const ByteString& line : SplitScriptLines(scriptText)) {
    if (pathOnly && GetCommandAction(line) != "path") continue;
    executed.push_back(line);
    if (!ExecuteCommand(line, remaining)) {
      AddError("Command failed: " + line);
      break;
    }
  }

  if (!ErrorText.empty()) {
    executed.push_back("Errors: " + ErrorText);
    WriteSetupLog(executed);
  }
  const bool result = ErrorText.empty();
  if (pathOnly) return result;

  // Also after a failed run: what was installed can be removed again, and
  // the next setup finds this installation.
  CreateUninstaller();
  if (!Exec.empty()) WriteProductSetting("Exec", Exec);
  if (!DataPath.empty()) WriteProductSetting("DataPath", DataPath);
  return result;
}
