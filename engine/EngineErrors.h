#pragma once
// The engine's raised failures besides the zlib errors (package/ZLibHelpers.h).
// They leave the engine to the caller, which shows them in the application's
// error box. On the way the script run catches them only to undo the run
// from its journal and raises them again; where the journal looks for its
// anchor, a value of the wrong type counts as no anchor.
#include <stdexcept>
#include "base/Text.h"

// A registry value of an unexpected type: "Ungültiger Datentyp für '%s'".
class ERegistryError : public std::runtime_error { using std::runtime_error::runtime_error; };
// The shell link object or one of its interfaces could not be obtained.
class EShellLinkError : public std::runtime_error { using std::runtime_error::runtime_error; };
// The setup log could not be created.
class ELogFileError : public std::runtime_error { using std::runtime_error::runtime_error; };
