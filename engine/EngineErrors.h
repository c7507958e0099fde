#pragma once
// The engine's raised failures besides the zlib errors (package/ZLibHelpers.h).
// The engine never catches them; the window shows them in the application's
// error box.
#include <stdexcept>
#include "base/Text.h"

// A registry value of an unexpected type: "Ungültiger Datentyp für '%s'".
class ERegistryError : public std::runtime_error { using std::runtime_error::runtime_error; };
// The shell link object or one of its interfaces could not be obtained.
class EShellLinkError : public std::runtime_error { using std::runtime_error::runtime_error; };
// The setup log could not be created.
class ELogFileError : public std::runtime_error { using std::runtime_error::runtime_error; };
