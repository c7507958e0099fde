#pragma once
// The comma text of setup command lines: items separated by commas or blanks,
// an item that holds blanks, commas or quotes enclosed in double quotes with
// inner quotes doubled. Reads lines the way the setup's interpreter does.
#include <string>
#include <vector>
#include "base/TextBasics.h"  // SameAsciiText: names compared as the interpreter compares them

namespace setuppack {

// Splits a line into items; false when a quoted item is never closed.
bool SplitCommaText(const std::string& line, std::vector<std::string>& items);
// An item as it must be written so that SplitCommaText gives it back.
std::string QuoteItem(const std::string& item);
std::string JoinCommaText(const std::vector<std::string>& items);

// The text before the first "=" ("" when there is none) and the text behind it.
std::string ItemName(const std::string& item);
std::string ItemValue(const std::string& item);
// Index of the first item with that name, -1 when there is none.
int FindItem(const std::vector<std::string>& items, const std::string& name);
// The value of the first item with that name; "" when there is none.
std::string ValueOf(const std::vector<std::string>& items, const std::string& name);

// Splits text into lines at CR LF, CR or LF; a line end at the very end adds
// no empty line.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace setuppack
