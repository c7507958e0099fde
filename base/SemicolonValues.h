#pragma once
// Splitting of ";"-separated values.
#include "base/Text.h"

class TQStringList;

// The part before the first ";" (or the whole text); the text loses that part
// and the ";".
ByteString NextValue(ByteString& text);
// Clears the list, then adds every value of the text (not trimmed; a ";" at
// the very end adds no empty value).
void SplitValues(const ByteString& text, TQStringList& list);
