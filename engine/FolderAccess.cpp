#include "engine/FolderAccess.h"

#include "engine/EngineValues.h"
#include "platform/Security.h"

namespace {

// The built-in users group by its SID: a name could be a local account of
// that name on a system in another language, and never everyone.
const char* const kUsersGroupSid = "S-1-5-32-545";

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
  if (!SetFolderAccess(folder, kUsersGroupSid)) return false;
  LastTrustee = kUsersGroupSid;
  return true;
}
