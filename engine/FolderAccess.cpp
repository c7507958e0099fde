#include "engine/FolderAccess.h"

#include <vector>

#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/PathVariables.h"
#include "engine/FileWriting.h"
#include "engine/RunJournal.h"
#include "platform/Files.h"
#include "platform/Security.h"
#include "platform/Shell.h"

namespace {

// The built-in users group by its SID: a name could be a local account of
// that name on a system in another language, and never everyone.
const char* const kUsersGroupSid = "S-1-5-32-545";

// Below the program folders, which the system protects itself.
bool InProgramFolders(const ByteString& folder) {
  const ByteString lower = AsciiLower(folder);
  for (const int csidl : {platform::kCsidlProgramFiles, platform::kCsidlProgramFilesX86}) {
    ByteString programs = AsciiLower(platform::SpecialFolder(0, csidl));
    while (!programs.empty() && programs.back() == '\\') programs.pop_back();
    if (!programs.empty() && StartsWith(lower, programs + "\\")) return true;
  }
  return false;
}

std::vector<ByteString> gWaitingGrants;

}  // namespace

bool MakeRunFolder(const ByteString& folder) {
  const bool inherits = PerUserRun() || FolderMadeByThisRun(ParentFolderOf(folder)) || InProgramFolders(folder);
  return inherits ? platform::MakeDirectory(folder) : platform::MakeProgramsProtectedFolder(folder);
}

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

bool GrantFolderAccessAtCommit(const ByteString& folder) {
  if (!RunJournalOpen()) return GrantFolderAccess(folder);
  gWaitingGrants.push_back(folder);
  return true;
}

void GrantWaitingFolders() {
  for (const ByteString& folder : gWaitingGrants) GrantFolderAccess(folder);
  gWaitingGrants.clear();
}

void ForgetWaitingGrants() { gWaitingGrants.clear(); }
