#pragma once
// Stand-in for platform/OwnFileCheck.h: answers the verdict a test sets
// (default: the image's own file) and counts the files it was asked about.
#include "platform/OwnFileCheck.h"

namespace fakes {

void SetOwnFileVerdict(platform::OwnFileVerdict verdict);
unsigned OwnFileChecks();
void ResetOwnFileCheck();

}  // namespace fakes
