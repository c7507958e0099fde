// The uninstall run over a fuzzed "Section:Uninst": the uninstaller's own
// file carries the input (as it is, or compressed as the setup writes it),
// ReadUninstallInfo decompresses and splits it, and RunUninstall removes
// what it lists in a jail that also holds things the setup never wrote.
//
// Input: byte 0 bit 0: 1 = compress the rest first (a well-formed stream
// of fuzzed lines), 0 = the rest is the payload as it is.
// What must hold: only the decompression error is raised; the Uninstall key
// and other products' entries survive; a file no line names survives; a
// kept data file (.qdb) survives even when named.
#include <cctype>
#include <cstdint>
#include <string>

#include "base/ByteStringList.h"
#include "engine/CommandLine.h"
#include "engine/EngineValues.h"
#include "engine/UninstallRun.h"
#include "engine/Uninstaller.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "platform/Registry.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/fakes/FakeProcess.h"
#include "tests/support/fakes/FakeRegistry.h"

using fuzzsupport::Check;
using fuzzsupport::HostExists;
using fuzzsupport::Show;
using fuzzsupport::WriteHost;

namespace {

const char kOther[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zed Sentinel 1999-01-01 00.00.00";

ByteString Lower(ByteString text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size == 0) return 0;
  fuzzsupport::ResetWorld();
  Quiet = true;
  const bool compress = bytes[0] & 1;
  const ByteString rest(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  const ByteString payload = compress ? CompressBytes(rest, 2) : rest;

  // An installation as the setup left it, and things it never wrote.
  WriteHost("C/P/Quillon.exe", "MZ");
  WriteHost("C/P/Daten/Quillon.qdb", "user data");
  WriteHost("C/P/Daten/sub/notes.txt", "notes");
  WriteHost("C/Keep/sentinel.txt", "not the setup's");
  WriteHost("C/P/uninstall.exe", "MZ stub" + BuildSection(kSectionBeginningMark, "") +
                                     BuildSection(kSectionUninst, payload));
  fakes::SetRegistryString(platform::Hive::LocalMachine, kOther, "DisplayName", "Zed");
  fakes::SetModuleFileName("C:\\P\\uninstall.exe");
  fakes::SetCommandLine("\"C:\\P\\uninstall.exe\" /uninst");
  ParseCommandLine();

  bool raised = false;
  try {
    RunUninstall();
  } catch (const EZDecompressionError&) {
    raised = true;
  }
  // A readable list names its lines; what it does not name must survive.
  ByteString text;
  if (!raised && !payload.empty()) {
    try {
      text = Lower(DecompressBytes(payload));
    } catch (const EZDecompressionError&) {
      fuzzsupport::Fail("RunUninstall read information that does not decompress", Show(rest));
    }
  }
  Check(fakes::RegistryKeyExists(platform::Hive::LocalMachine, kUninstallRoot), "the Uninstall key survives",
        Show(rest));
  if (text.find("sentinel") == ByteString::npos) {
    Check(fakes::RegistryKeyExists(platform::Hive::LocalMachine, kOther), "another product's entry survives",
          Show(rest));
    Check(HostExists("C/Keep/sentinel.txt"), "an unlisted file survives", Show(rest));
  }
  if (text.find("notes") == ByteString::npos)
    Check(HostExists("C/P/Daten/sub/notes.txt"), "an unlisted file in a listed folder survives", Show(rest));
  Check(HostExists("C/P/Daten/Quillon.qdb"), "a kept data file survives", Show(rest));
  return 0;
}
