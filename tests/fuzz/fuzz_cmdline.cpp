// ParseCommandLine over any command line (served by the process fake), then
// the registry part of an uninstall run with the parameters it found: the
// Uninstall key itself and other products' entries must survive whatever
// "UninstallKey=" a command line names.
//
// Input: byte 0 bit 0 picks the program's own name (Setup.exe or
// uninstall.exe); the rest is the command line.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "base/ByteStringList.h"
#include "engine/CommandLine.h"
#include "engine/EngineValues.h"
#include "engine/UninstallRun.h"
#include "engine/Uninstaller.h"
#include "platform/Registry.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/fakes/FakeProcess.h"
#include "tests/support/fakes/FakeRegistry.h"

using fuzzsupport::Check;
using fuzzsupport::Show;

namespace {

const char kOther[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zed Sentinel 1999-01-01 00.00.00";

ByteString Lower(ByteString text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  fuzzsupport::ResetWorld();
  Quiet = true;
  const bool asUninstaller = size > 0 && (bytes[0] & 1);
  const ByteString commandLine = size > 0 ? ByteString(reinterpret_cast<const char*>(bytes) + 1, size - 1) : "";
  fakes::SetModuleFileName(asUninstaller ? "C:\\P\\uninstall.exe" : "C:\\Setup\\Setup.exe");
  fakes::SetCommandLine(commandLine);
  fakes::SetRegistryString(platform::Hive::LocalMachine, kOther, "DisplayName", "Zed");

  ParseCommandLine();

  const ByteString visible = commandLine.substr(0, commandLine.find('\0'));
  bool sawUninst = false;
  std::size_t total = 0;
  for (int32_t i = 0; i < ParamList->Count(); ++i) {
    const ByteString parameter = ParamList->ItemText(i);
    Check(!parameter.empty(), "no empty parameter", Show(commandLine));
    Check(parameter.find('"') == ByteString::npos, "quotes are not part of a parameter", Show(commandLine));
    Check(parameter.find('\0') == ByteString::npos, "a NUL ends the command line", Show(commandLine));
    if (Lower(parameter) == "/uninst") sawUninst = true;
    total += parameter.size();
  }
  Check(total <= visible.size(), "parameters are made of the command line's bytes", Show(commandLine));
  Check(UninstallMode == (asUninstaller || sawUninst), "uninstall mode from name or /uninst", Show(commandLine));

  // Without an own file there is no uninstall information: only the entry
  // named on the command line may go.
  RunUninstall();
  Check(fakes::RegistryKeyExists(platform::Hive::LocalMachine, kUninstallRoot), "the Uninstall key survives",
        Show(commandLine));
  if (Lower(visible).find("sentinel") == ByteString::npos)
    Check(fakes::RegistryKeyExists(platform::Hive::LocalMachine, kOther), "another product's entry survives",
          Show(commandLine));
  Check(ErrorText == "uninstall information not found; ", "missing information is reported", ErrorText);
  return 0;
}
