#pragma once
// The command script and its interpreter: lines of comma text whose items
// are name=value pairs; the "action" item selects one of seven actions.
#include <vector>
#include "base/Text.h"
#include "engine/PackedData.h"

using CommandItems = std::vector<ByteString>;

extern const char* const kSetupLogPath;  // "C:\Setup.log"

bool RunSetupScript(bool pathOnly);
bool ExecuteCommand(const ByteString& line, PackedData& remaining);
ByteString GetCommandAction(const ByteString& line);
void AddError(const ByteString& text);
void ReportError(const ByteString& text);

// Line ends: CR, LF, CR LF (one end); a NUL byte ends the text.
std::vector<ByteString> SplitScriptLines(const ByteString& script);
// Comma text with "," and double quotes.
CommandItems SplitCommandItems(const ByteString& line);
// The value of the first item whose name equals `name` without regard to
// case (locale-aware); empty when none.
ByteString CommandValue(const CommandItems& items, const ByteString& name);
