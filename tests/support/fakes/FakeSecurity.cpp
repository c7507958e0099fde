#include "tests/support/fakes/FakeSecurity.h"

#include <algorithm>
#include <map>

#include <sys/stat.h>

#include "platform/Files.h"
#include "platform/Security.h"

namespace {

struct SecurityState {
  bool nt = true;
  bool entryPointsPresent = true;
  bool entryPointsKnown = false;
  bool requireFolder = false;
  std::vector<ByteString> trustees{"Users", "Everyone", "S-1-5-32-545"};
  std::vector<fakes::AclCall> calls;
  std::map<ByteString, ByteString> granted;
  int lookUps = 0;
  std::vector<ByteString> privateFolders;
  std::vector<ByteString> protectedFolders;
};

SecurityState& State() {
  static SecurityState state;
  return state;
}

}  // namespace

namespace fakes {

void ResetSecurity() { State() = SecurityState(); }
void SetNtFamily(bool nt) { State().nt = nt; }
void SetAclEntryPointsPresent(bool present) { State().entryPointsPresent = present; }
void SetKnownTrustees(const std::vector<ByteString>& names) { State().trustees = names; }
void SetAclRequiresExistingFolder(bool required) { State().requireFolder = required; }
const std::vector<AclCall>& AclCalls() { return State().calls; }
int AclLookUps() { return State().lookUps; }
const std::vector<ByteString>& PrivateFolders() { return State().privateFolders; }
const std::vector<ByteString>& ProgramsProtectedFolders() { return State().protectedFolders; }

ByteString GrantedTrustee(const ByteString& folder) {
  auto it = State().granted.find(folder);
  return it == State().granted.end() ? ByteString() : it->second;
}

}  // namespace fakes

namespace platform {

bool IsNtVersion5OrLater() { return State().nt; }

bool LookUpAclEntryPoints() {
  SecurityState& state = State();
  ++state.lookUps;
  state.entryPointsKnown = state.entryPointsPresent;
  return state.entryPointsKnown;
}

bool AclEntryPointsKnown() { return State().entryPointsKnown; }
void ForgetAclEntryPoints() { State().entryPointsKnown = false; }

bool SetFolderDacl(const ByteString& folder, const ByteString& trustee, FolderGrant grant) {
  SecurityState& state = State();
  if (!state.entryPointsKnown) return false;
  bool ok = std::find(state.trustees.begin(), state.trustees.end(), trustee) != state.trustees.end();
  if (ok && state.requireFolder) ok = FileAttributesOf(folder) != kInvalidFileAttributes;
  state.calls.push_back(fakes::AclCall{folder, trustee, grant, ok});
  if (ok) state.granted[folder] = trustee;
  return ok;
}

bool MakePrivateFolder(const ByteString& folder) {
  if (FileAttributesOf(folder) != kInvalidFileAttributes || !MakeDirectory(folder)) return false;
  chmod(NativePath(folder).c_str(), 0700);
  State().privateFolders.push_back(folder);
  return true;
}

bool MakeProgramsProtectedFolder(const ByteString& folder) {
  if (FileAttributesOf(folder) != kInvalidFileAttributes || !MakeDirectory(folder)) return false;
  State().protectedFolders.push_back(folder);
  return true;
}

// A private folder's mode (also one a killed process made): a folder, not
// a link, that neither group nor others may change.
bool FolderIsAdministratorsOnly(const ByteString& folder) {
  struct stat info;
  return lstat(NativePath(folder).c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & 077) == 0;
}

}  // namespace platform
