// The command script over arbitrary text, against the fakes of the registry,
// shell, security and process services, with drive C: in a jail folder.
//
// Input: byte 0 flags, bytes 1-2 the length n of the packed file data
// (little-endian), n bytes of it (decompressed "Section:Setup.bin"), then
// the script text.
//   flag 0  1: a whole setup: the package is built (script and files
//              compressed) and run path-only and in full, then the uninstaller
//              it wrote runs; 0: every line goes to ExecuteCommand directly
//   flag 1  desktop shortcuts wanted
//   flag 2  the shell knows the common desktop and programs folders
//   flag 3  the product's settings hold a value of the wrong type
//   flag 4  "C:\Programme" exists
// What must hold: the text rules (lines have no line ends, items follow the
// comma text), only the four raised failures of the engine leave a run, a
// file the setup did not write is never changed or removed, and the
// uninstaller removes what the setup recorded (except kept data files).
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteStringList.h"
#include "engine/CommandLine.h"
#include "engine/EngineErrors.h"
#include "engine/EngineValues.h"
#include "engine/InstalledFiles.h"
#include "engine/PackedData.h"
#include "engine/ScriptCommands.h"
#include "engine/ScriptInterpreter.h"
#include "engine/UninstallRun.h"
#include "engine/Uninstaller.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/fakes/FakeProcess.h"
#include "tests/support/fakes/FakeRegistry.h"
#include "tests/support/fakes/FakeShell.h"

using fuzzsupport::Check;
using fuzzsupport::HostExists;
using fuzzsupport::Show;
using fuzzsupport::WriteHost;

namespace {

const char kSentinel[] = "not the setup's";
const char kOther[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zed Sentinel 1999-01-01 00.00.00";

ByteString Lower(ByteString text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

ByteString ReadHost(const std::string& relative) {
  ByteString bytes;
  FILE* file = std::fopen(fuzzsupport::HostPath(relative).c_str(), "rb");
  if (!file) return bytes;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

void CheckTextRules(const ByteString& script) {
  const std::vector<ByteString> lines = SplitScriptLines(script);
  std::size_t total = 0;
  for (const ByteString& line : lines) {
    Check(line.find_first_of(ByteString("\r\n\0", 3)) == ByteString::npos, "a line holds no line end or NUL",
          Show(line));
    total += line.size();
    const CommandItems items = SplitCommandItems(line);
    Check(items.size() <= line.size() + 1, "no more items than characters", Show(line));
    for (const ByteString& item : items) Check(item.size() <= line.size(), "an item is part of its line");
    Check(CommandValue(items, "action") == GetCommandAction(line), "GetCommandAction is the action item");
    // The first item with a name wins, whatever follows.
    const ByteString action = CommandValue(items, "action");
    CommandItems twice = items;
    twice.push_back("ACTION=other");
    if (!action.empty()) Check(CommandValue(twice, "action") == action, "the first item with a name wins", Show(line));
  }
  Check(total <= script.size(), "lines are made of the script's bytes");
}

bool RaisedKind(const std::exception& error) {
  return dynamic_cast<const EZLibError*>(&error) || dynamic_cast<const ERegistryError*>(&error) ||
         dynamic_cast<const EShellLinkError*>(&error) || dynamic_cast<const ELogFileError*>(&error);
}

// Runs `step`; one of the engine's four raised failures ends it quietly,
// anything else is a fault.
template <typename Step>
bool Guarded(Step step, const ByteString& input) {
  try {
    step();
    return true;
  } catch (const std::exception& error) {
    if (!RaisedKind(error)) fuzzsupport::Fail("an unexpected error left the engine", error.what() + ("\n" + Show(input)));
    if (std::getenv("FUZZ_VERBOSE")) std::fprintf(stderr, "raised: %s\n", error.what());
    return false;
  }
}

// The jail's relative path of a "C:\..." path, empty for any other path.
std::string JailRelative(const ByteString& windowsPath) {
  const ByteString native = platform::NativePath(windowsPath);
  const std::string& root = fuzzsupport::JailRoot();
  if (windowsPath.size() < 2 || windowsPath[1] != ':' || native.compare(0, root.size() + 1, root + "/") != 0)
    return std::string();
  return native.substr(root.size() + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 3) return 0;
  fuzzsupport::ResetWorld();
  const unsigned flags = bytes[0];
  const std::size_t packedLength = std::min<std::size_t>(bytes[1] | (bytes[2] << 8), size - 3);
  const ByteString packed(reinterpret_cast<const char*>(bytes) + 3, packedLength);
  const ByteString script(reinterpret_cast<const char*>(bytes) + 3 + packedLength, size - 3 - packedLength);
  const ByteString lowerScript = Lower(script);
  const bool wholeSetup = flags & 1;

  CheckTextRules(script);

  // The machine before the setup.
  Quiet = true;
  DesktopLinks = flags & 2;
  if (flags & 4) {
    fakes::SetSpecialFolder(platform::kCsidlCommonDesktop, "C:\\Users\\Public\\Desktop");
    fakes::SetSpecialFolder(platform::kCsidlCommonPrograms, "C:\\ProgramData\\Start Menu\\Programs");
  }
  if (flags & 8) fakes::SetRegistryDword(platform::Hive::LocalMachine, "SOFTWARE\\Quillon\\Quillon", "PgmPath", 7);
  if (flags & 16) WriteHost("C/Programme/.keep", "");
  WriteHost("C/Keep/sentinel.txt", kSentinel);
  fakes::SetRegistryString(platform::Hive::LocalMachine, kOther, "DisplayName", "Zed");

  ByteString package = "MZ stub" + BuildSection(kSectionBeginningMark, "");
  if (wholeSetup) {
    package += BuildSection(kSectionSetupCmd, CompressBytes(script, 2));
    if (!packed.empty()) package += BuildSection(kSectionSetupBin, CompressBytes(packed, 2));
  }
  WriteHost("C/Setup/Setup.exe", package);
  fakes::SetModuleFileName("C:\\Setup\\Setup.exe");

  bool fullRunEnded = false;  // the full run came to its end (nothing raised)
  if (wholeSetup) {
    if (Guarded([] { RunSetupScript(true); }, script)) {
      DesktopLinks = flags & 2;
      fullRunEnded = Guarded([] { RunSetupScript(false); }, script);
    }
  } else {
    PackedData remaining(packed);
    for (const ByteString& line : SplitScriptLines(script)) {
      if (!Guarded([&] { ExecuteCommand(line, remaining); }, line)) break;
    }
    Guarded([] { CreateUninstaller(); }, script);
  }

  // Nothing the setup did not write has changed.
  const bool mentionsSentinel = lowerScript.find("sentinel") != ByteString::npos ||
                                lowerScript.find("keep") != ByteString::npos;
  if (!mentionsSentinel)
    Check(ReadHost("C/Keep/sentinel.txt") == kSentinel, "a file the setup did not write is unchanged", Show(script));
  if (lowerScript.find("zed") == ByteString::npos)
    Check(fakes::RegistryKeyExists(platform::Hive::LocalMachine, kOther), "another product's entry survives",
          Show(script));

  // The uninstaller the setup wrote, run as its own process would. A raised
  // failure ends a run before the uninstaller is written (only its
  // placeholder is there then).
  const std::string uninstaller = JailRelative(UninstallerPath);
  if (!fullRunEnded || uninstaller.empty() || !HostExists(uninstaller)) return 0;
  std::vector<ByteString> written;
  for (int32_t i = 0; i < WrittenFiles->Count(); ++i) written.push_back(WrittenFiles->ItemText(i));
  const ByteString uninstallerPath = UninstallerPath;

  if (std::getenv("FUZZ_VERBOSE")) {
    for (const ByteString& path : written) std::fprintf(stderr, "written: %s\n", path.c_str());
    std::fprintf(stderr, "errors: %s\n", ErrorText.c_str());
  }
  ResetEngineValues();
  ResetOwnSections();
  Quiet = true;
  fakes::SetModuleFileName(uninstallerPath);
  fakes::SetCommandLine("\"" + uninstallerPath + "\" /uninst");
  ParseCommandLine();
  Check(UninstallMode, "the uninstaller runs in uninstall mode");
  try {
    RunUninstall();
  } catch (const std::exception& error) {
    fuzzsupport::Fail("the uninstaller the setup wrote cannot be read", error.what() + ("\n" + Show(script)));
  }
  if (std::getenv("FUZZ_VERBOSE")) std::fprintf(stderr, "uninstall errors: %s\n", ErrorText.c_str());

  if (!mentionsSentinel)
    Check(ReadHost("C/Keep/sentinel.txt") == kSentinel, "the uninstall leaves other files alone", Show(script));
  if (lowerScript.find("zed") == ByteString::npos)
    Check(fakes::RegistryKeyExists(platform::Hive::LocalMachine, kOther), "the uninstall leaves other entries",
          Show(script));
  Check(fakes::RegistryKeyExists(platform::Hive::LocalMachine, kUninstallRoot), "the Uninstall key survives");
  for (const ByteString& path : written) {
    const std::string relative = JailRelative(path);
    if (relative.empty() || path == uninstallerPath) continue;
    const ByteString extension = LowerFileExtension(path);
    if (extension == ".qda" || extension == ".qlg" || extension == ".qdb") continue;
    Check(!HostExists(relative) || platform::FileAttributesOf(path) & platform::kAttrDirectory,
          "the uninstaller removes every file the setup wrote", path + "\n" + Show(script));
  }
  return 0;
}
