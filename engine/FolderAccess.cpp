#include "engine/FolderAccess.h"

#include "engine/EngineValues.h"
#include "platform/Security.h"

namespace {

// German and English names of the users group, then of the everyone group.
const char* const kTrustees[] = {"Benutzer", "Users", "Jeder", "Everyone"};

}  // namespace

bool SetFolderAccess(const ByteString& folder, const ByteString& trustee) {
  if (!platform::AclEntryPointsKnown()) {
    if (!platform::IsNtVersion5OrLater()) return false;
    if (!platform::LookUpAclEntryPoints()) return false;  // tried again next time
  }
  return platform::SetFolderDacl(folder, trustee);
}

bool GrantFolderAccess(const ByteString& folder) {
  // Systems without access lists need nothing.
  if (!platform::IsNtVersion5OrLater()) return true;
  // The name that worked before saves the failing attempts on every later folder.
  if (!LastTrustee.empty() && SetFolderAccess(folder, LastTrustee)) return true;
  for (const char* trustee : kTrustees) {
    if (SetFolderAccess(folder, trustee)) {
      LastTrustee = trustee;
      return true;
    }
  }
  return false;
}
