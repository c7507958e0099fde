#pragma once
// Conversions between code-page byte text and UTF-16 wide text, and the
// recognition of a byte-order mark at the start of raw data.
#include <cstdint>
#include "base/Text.h"

// Kinds of byte-order mark; the values are fixed.
enum TByteOrderMark : uint8_t {
  bomNone = 0,
  bomUtf8 = 1,      // EF BB BF
  bomUtf16LE = 2,   // FF FE
  bomUtf16BE = 3,   // FE FF
  bomUtf32LE = 4,   // FF FE 00 00
  bomUtf32BE = 5,   // 00 00 FE FF
};

// Converts count bytes from the code page (MB_PRECOMPOSED) and appends them
// to target. Nothing happens for null data, count <= 0 or an empty result.
void AppendCodePageToWide(const char* bytes, int32_t count, uint32_t codePage, WideString& target);
WideString Str255ToWide(const ShortText& text, uint32_t codePage);
// The wide text up to its first NUL, converted with the flags 0x270;
// characters outside the code page become its default character. Empty on failure.
ByteString WideToCodePage(const WideString& text, uint32_t codePage);
// The longer marks are tested first: FF FE 00 00 is UTF-32LE.
TByteOrderMark DetectByteOrderMark(const void* data, int32_t count, int32_t& markLength);
// UTF-16LE bytes (a UTF-16LE mark is skipped) as wide text; any other mark
// gives the empty text; an odd last byte is dropped.
WideString BytesToWide(const ByteString& bytes);
// The wide text's UTF-16LE bytes.
ByteString WideToBytes(const WideString& text);
