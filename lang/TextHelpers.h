#pragma once
// Text helpers shared by the parts of the multilingual system.
#include "base/Text.h"

namespace lang {

// Without the characters 0 to 32 at both ends.
ByteString TrimControls(const ByteString& text);
WideString TrimControls(const WideString& text);

}  // namespace lang
