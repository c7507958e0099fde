#pragma once
// Native stand-in for platform/Security.h: a settable platform, entry points
// that can be missing, a set of trustee names the "system" knows, and a log
// of every access-list call.
#include <vector>
#include "base/Text.h"
#include "platform/Security.h"

namespace fakes {

struct AclCall {
  ByteString folder;
  ByteString trustee;
  platform::FolderGrant grant = platform::FolderGrant::FullControl;
  bool succeeded = false;
};

// NT 5 or later, entry points present, trustees "Users", "Everyone" and
// the users group's SID known (an English system), no calls, entry points not looked up yet.
void ResetSecurity();
void SetNtFamily(bool nt);
void SetAclEntryPointsPresent(bool present);
// The names SetFolderDacl accepts; any other name fails.
void SetKnownTrustees(const std::vector<ByteString>& names);
// When set, SetFolderDacl also fails for a folder that does not exist
// (checked through platform::FileAttributesOf). Default: not checked.
void SetAclRequiresExistingFolder(bool required);

const std::vector<AclCall>& AclCalls();
int AclLookUps();  // calls of LookUpAclEntryPoints
// Folders MakePrivateFolder made, in order.
const std::vector<ByteString>& PrivateFolders();
// Folders MakeProgramsProtectedFolder made, in order.
const std::vector<ByteString>& ProgramsProtectedFolders();
// MakePrivateFolder makes folders of mode 0700; FolderIsAdministratorsOnly
// holds for a folder (not a link) of that mode.
// The trustee last granted on the folder (empty when none).
ByteString GrantedTrustee(const ByteString& folder);

}  // namespace fakes
