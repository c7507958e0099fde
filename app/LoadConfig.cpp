// The program image's load configuration. The system loads the DLLs of the
// static imports (and what they import) before WinMain runs, so the search
// restriction that WinMain sets comes too late for them; the image's own
// DependentLoadFlags make the loader take them from the system folder only.
// The linker points the header's load-configuration entry at this symbol.
#include <windows.h>

namespace {

constexpr WORD kSearchSystem32 = 0x0800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

// The headers still call the DependentLoadFlags field "Reserved1". All other
// fields zero: no security cookie, no safe exception handler table.
constexpr IMAGE_LOAD_CONFIG_DIRECTORY MakeLoadConfig() {
  IMAGE_LOAD_CONFIG_DIRECTORY config = {};
  config.Size = sizeof config;
  config.Reserved1 = kSearchSystem32;
  return config;
}

}  // namespace

// Constant: the loader reads it before any of the program's code runs.
extern "C" __attribute__((used)) constexpr IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = MakeLoadConfig();
