// Engine harness for end-to-end tests (never part of Setup.exe): a console
// program that, packed like a setup, runs the engine as the setup window
// would and prints what it does, one "name=value" line each.
//
//   setup mode:     [--pathonly] [--pgmpath=DIR] [--nodesktop] [--lng=XX]
//   uninstall mode: own name uninstall.exe, or "/uninst"
//
// Exit code: 0 when the run succeeded, 1 when it reported failure, 2 when
// the engine raised an error (its message is printed).
#include <cstdio>
#include <exception>

#include "base/ByteStringList.h"
#include "engine/CommandLine.h"
#include "engine/EngineValues.h"
#include "engine/ScriptInterpreter.h"
#include "engine/UninstallRun.h"
#include "package/Sections.h"

namespace {

struct Options {
  bool pathOnly = false;
  bool desktop = true;
  bool hasPgmPath = false;
  ByteString pgmPath;
  ByteString lng;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const ByteString arg = argv[i];
    if (arg == "--pathonly") {
      options.pathOnly = true;
    } else if (arg == "--nodesktop") {
      options.desktop = false;
    } else if (arg.compare(0, 10, "--pgmpath=") == 0) {
      options.hasPgmPath = true;
      options.pgmPath = arg.substr(10);
    } else if (arg.compare(0, 6, "--lng=") == 0) {
      options.lng = arg.substr(6);
    }
  }
  return options;
}

void Print(const char* name, const ByteString& value) {
  std::printf("%s=%s\n", name, value.c_str());
}

void PrintList(const char* name, const TQStringList* list) {
  ByteString joined;
  for (int32_t i = 0; i < list->Count(); ++i) {
    if (i > 0) joined += '|';
    joined += list->ItemText(i);
  }
  Print(name, joined);
}

void PrintValues(const char* stage) {
  std::printf("[%s]\n", stage);
  Print("PgmPath", PgmPath);
  Print("DataPath", DataPath);
  Print("MyStartMenu", MyStartMenu);
  Print("RegistryKey", RegistryKey);
  Print("Version", Version);
  Print("Lng", Lng);
  Print("Exec", Exec);
  Print("ExecParams", ExecParams);
  Print("DesktopLinks", DesktopLinks ? "1" : "0");
  Print("UninstallerPath", UninstallerPath);
  PrintList("CreatedFolders", CreatedFolders);
  PrintList("WrittenFiles", WrittenFiles);
  PrintList("UninstallValues", UninstallValues);
  Print("ErrorText", ErrorText);
}

int RunSetup(const Options& options) {
  const bool pathResult = RunSetupScript(true);
  Print("pathonly.result", pathResult ? "1" : "0");
  PrintValues("after path-only run");
  if (options.pathOnly) return pathResult ? 0 : 1;

  // What the window stores before the full run.
  if (options.hasPgmPath) PgmPath = options.pgmPath;
  DesktopLinks = options.desktop;
  if (!options.lng.empty()) Lng = LanguageCode(options.lng);
  const bool fullResult = RunSetupScript(false);
  Print("full.result", fullResult ? "1" : "0");
  PrintValues("after full run");
  return fullResult ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // One write at the end: character by character, the lists of a run with
  // thousands of files cost more than the run (a console check per call).
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  Quiet = true;  // no message boxes under test
  // What the setup program's start-up does before the engine runs: the own
  // language data, which the uninstaller carries on. (COM starts with the
  // first shell link, as in the program.)
  LoadOwnSections();
  ByteString languageData;
  if (ReadOwnSection(kSectionSetupLng, languageData)) LngData = languageData;
  int exitCode = 0;
  try {
    ParseCommandLine();
    Print("mode", UninstallMode ? "uninstall" : "setup");
    if (UninstallMode) {
      RunUninstall();
      Print("ErrorText", ErrorText);
    } else {
      exitCode = RunSetup(ParseOptions(argc, argv));
    }
  } catch (const std::exception& error) {
    Print("raised", error.what());
    exitCode = 2;
  }
  std::fflush(stdout);
  return exitCode;
}
