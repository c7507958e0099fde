#pragma once
// The script's commands: lines of comma text whose items are name=value
// pairs, and the lookup of a value by name. Every action reads its line
// through these.
#include <vector>
#include "base/Text.h"

using CommandItems = std::vector<ByteString>;

// Line ends: CR, LF, CR LF (one end); a NUL byte ends the text.
std::vector<ByteString> SplitScriptLines(const ByteString& script);
// Comma text with "," and double quotes.
CommandItems SplitCommandItems(const ByteString& line);
// The value of the first item whose name equals `name` without regard to
// case (locale-aware); empty when none.
ByteString CommandValue(const CommandItems& items, const ByteString& name);
// The value of the line's "action" item.
ByteString GetCommandAction(const ByteString& line);
