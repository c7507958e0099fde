#include "tests/support/fakes/FakeOwnFileCheck.h"

namespace {
platform::OwnFileVerdict gVerdict = platform::OwnFileVerdict::Same;
unsigned gChecks = 0;
}  // namespace

namespace fakes {

void SetOwnFileVerdict(platform::OwnFileVerdict verdict) { gVerdict = verdict; }
unsigned OwnFileChecks() { return gChecks; }
void ResetOwnFileCheck() {
  gVerdict = platform::OwnFileVerdict::Same;
  gChecks = 0;
}

}  // namespace fakes

namespace platform {

OwnFileVerdict CheckOwnFile(ReadHandle file) {
  ++gChecks;
  return file ? gVerdict : OwnFileVerdict::NotTheImagesFile;
}

}  // namespace platform
