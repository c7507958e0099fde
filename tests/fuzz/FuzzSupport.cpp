#include "tests/fuzz/FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "engine/EngineValues.h"
#include "lang/Multilingual.h"
#include "package/Sections.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "tests/support/fakes/FakeProcess.h"
#include "tests/support/fakes/FakeRegistry.h"
#include "tests/support/fakes/FakeSecurity.h"
#include "tests/support/fakes/FakeShell.h"

namespace fs = std::filesystem;

namespace fuzzsupport {

namespace {

unsigned long gRefusals = 0;

void RemoveJail() {
  std::error_code error;
  if (!JailRoot().empty()) fs::remove_all(JailRoot(), error);
}

std::string MakeJail() {
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "quillon-fuzz.XXXXXX").string();
  if (!mkdtemp(&pattern[0])) {
    std::fprintf(stderr, "fuzz: cannot create a temporary folder\n");
    std::abort();
  }
  // The jail is checked lexically: its own path must be the canonical one.
  return fs::canonical(pattern, error).string();
}

}  // namespace

const std::string& JailRoot() {
  // Never destroyed: the removal at exit still needs the path.
  static const std::string* root = [] {
    auto* made = new std::string(MakeJail());
    std::atexit(RemoveJail);
    return made;
  }();
  return *root;
}

void CountJailRefusal() { ++gRefusals; }
unsigned long JailRefusals() { return gRefusals; }

std::string HostPath(const std::string& relative) { return JailRoot() + "/" + relative; }

bool WriteHost(const std::string& relative, std::string_view bytes) {
  const fs::path path = HostPath(relative);
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool HostExists(const std::string& relative) {
  std::error_code error;
  return fs::exists(HostPath(relative), error);
}

void ResetWorld() {
  const std::string& root = JailRoot();
  std::error_code error;
  // Everything below the jail goes, whatever a run left (read-only files too).
  for (const auto& entry : fs::directory_iterator(root, error)) fs::remove_all(entry.path(), error);
  fs::create_directories(root + "/C", error);
  // Relative paths of a script land in the jail as well (and are refused there).
  if (chdir(root.c_str()) != 0) Fail("cannot enter the jail", root);

  platform::SetNativeDriveRoot(root);
  platform::SetNativeCodePage(1252);
  platform::SetNativeLangId(0x0407);
  ResetEngineValues();
  ResetOwnSections();
  SetOwnFilePathForTests("");
  fakes::ResetRegistry();
  fakes::ResetProcess();
  fakes::ResetShell();
  fakes::ResetSecurity();
  ResetMultiLingua();
}

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "\nFUZZ CHECK FAILED: %s\n%s\n", what, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string Show(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes.substr(0, 200)) {
    if (c >= 32 && c < 127 && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  if (bytes.size() > 200) out += "...";
  return out;
}

}  // namespace fuzzsupport
