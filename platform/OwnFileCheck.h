#pragma once
// Whether a file the program opened by its own name is the file its running
// image was loaded from. Between the elevation prompt and the elevated
// copy's open, a standard user may rename the approved file away and put
// another one (the same program, other sections) at its name.
#include "platform/Files.h"

namespace platform {

enum class OwnFileVerdict {
  Same,                // the very file the image came from (and, when signed, validly signed)
  NotTheImagesFile,    // another file, however alike its bytes
  SignatureRefused,    // the image is signed, and the file's signature does not verify
};

// Asked through `file` alone, before anything is read from it: the file must
// be the one the running image is mapped from (NtAreMappedFilesTheSame on a
// read-only view of it); when the running image carries a signature (its
// header's certificate entry), the file's Authenticode signature must also
// verify (WinVerifyTrust through the same handle, no UI, revocation as the
// system's policy says). Being the image's very file, its signer is the
// running program's.
OwnFileVerdict CheckOwnFile(ReadHandle file);

}  // namespace platform
