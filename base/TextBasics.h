#pragma once
// Safe character access, cutting of byte strings, integer reading with a
// default, and the locale-free checks the engine makes on paths and keys.
// Positions are 1-based; no function fails on any argument.
#include <cstdint>
#include <string_view>
#include "base/Text.h"

// Character 0 when position is below 1 or beyond the length.
char CharAt(const ByteString& text, int32_t position);
// Character 0 for the empty text.
char FirstChar(const ByteString& text);
// The first n characters (empty for n <= 0).
ByteString LeftPart(const ByteString& text, int32_t n);
// From position to the end (whole text for position <= 1).
ByteString FromPos(const ByteString& text, int32_t position);
// Without the first n characters.
ByteString SkipChars(const ByteString& text, int32_t n);
ByteString DropFirstChar(const ByteString& text);

// Reads an integer: leading blanks, optional sign, then decimal digits in
// 32-bit range or a hex number ("$", "x", "0x", 1 to 8 digits); nothing may
// follow. Answers false (value untouched) when the text holds no integer.
bool TryReadInt(const ByteString& text, int32_t& value);
int32_t IntOrZero(const ByteString& text);
int32_t IntOrMinusOne(const ByteString& text);

// Only the letters A to Z made small: file names and switches are compared
// without depending on the locale.
ByteString AsciiLower(ByteString text);
// Equal but for the case of the letters A to Z (the script's item names).
bool SameAsciiText(std::string_view a, std::string_view b);
// Orders as AsciiLower's results would order, without making them: sets of
// names that differ only in the case of A to Z, asked with any view.
struct AsciiCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};
// `path` is `folder` or lies below it, compared as SameAsciiText compares:
// "C:\Data" holds "c:\data\x" but not "C:\Database". Never below "".
bool AtOrBelowFolder(std::string_view path, std::string_view folder);
bool StartsWith(const ByteString& text, const ByteString& prefix);
// Without the backslashes at its end.
ByteString WithoutTrailingBackslashes(const ByteString& path);
// The same, as a view of `path` (no copy).
std::string_view WithoutTrailingBackslashesView(std::string_view path);
// Without the characters 1 to 32 (and 0) at both ends.
ByteString TrimControls(const ByteString& text);
