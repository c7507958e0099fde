#include "engine/ScriptInterpreter.h"

#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/FileExtraction.h"
#include "engine/ProductSettings.h"
#include "engine/ShellActions.h"
#include "engine/Uninstaller.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"

namespace {

// Every action of the script. Only "save" and "saveifnotexists" can fail a
// line; the others always succeed towards the interpreter.
struct ActionEntry {
  const char* name;
  bool (*run)(const CommandItems& items, PackedData& remaining);
};

const ActionEntry kActions[] = {
    {"path", [](const CommandItems& items, PackedData&) { PathAction(items); return true; }},
    {"save", [](const CommandItems& items, PackedData& remaining) { return SaveFile(items, remaining, false); }},
    {"saveifnotexists",
     [](const CommandItems& items, PackedData& remaining) { return SaveFile(items, remaining, true); }},
    {"icon", [](const CommandItems& items, PackedData&) { IconAction(items); return true; }},
    {"desktopini", [](const CommandItems& items, PackedData&) { DesktopIniAction(items); return true; }},
    {"exec", [](const CommandItems& items, PackedData&) { ExecAction(items); return true; }},
    {"uninst", [](const CommandItems& items, PackedData&) { RegisterUninstall(items); return true; }},
};

}  // namespace

bool ExecuteCommand(const ByteString& line, PackedData& remaining) {
  const CommandItems items = SplitCommandItems(line);
  const ByteString action = CommandValue(items, "action");
  if (action.empty()) return false;
  // Action names match byte for byte: "Path" is no action.
  for (const ActionEntry& entry : kActions)
    if (action == entry.name) return entry.run(items, remaining);
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
  RunLines = executed;

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
