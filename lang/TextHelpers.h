#pragma once
// Small text helpers of the multilingual system.
#include "base/Text.h"

// Without the characters 0 to 32 at both ends.
ByteString TrimControls(const ByteString& text);
WideString TrimControls(const WideString& text);
// Only the letters a to z made upper case: keys must not depend on the locale.
ByteString UpperCaseAToZ(const ByteString& text);
// Every occurrence of `what`, left to right; the inserted text is not searched again.
ByteString ReplaceAll(const ByteString& text, const ByteString& what, const ByteString& with);
