// Folder access lists (platform/Security.h) on Win32. The three ACL entry
// points are looked up at run time in the already loaded Advapi32.dll, so
// the program also starts on systems that lack them.
#include "platform/Security.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/win32/ProcessAccount.h"
#include "platform/win32/SystemCalls.h"

namespace platform {

namespace {

using SetEntriesInAclFn = DWORD(WINAPI*)(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL*);
using SetNamedSecurityInfoFn = DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID,
                                              PSID, PACL, PACL);
using BuildExplicitAccessFn = VOID(WINAPI*)(PEXPLICIT_ACCESS_A, LPSTR, DWORD, ACCESS_MODE, DWORD);

SetEntriesInAclFn gSetEntriesInAcl = nullptr;
SetNamedSecurityInfoFn gSetNamedSecurityInfo = nullptr;
BuildExplicitAccessFn gBuildExplicitAccess = nullptr;

constexpr DWORD kGenericAll = 0x10000000;
constexpr DWORD kInheritToFoldersAndFiles = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;  // 3

// The list is the same for every folder of one trustee and grant: it is
// built once (the account name lookup behind it costs more than setting it)
// and kept.
ByteString gBuiltFor;
DWORD gBuiltRights = 0;
PACL gBuiltAcl = nullptr;

void DropBuiltAcl() {
  if (gBuiltAcl) LocalFree(gBuiltAcl);
  gBuiltAcl = nullptr;
  gBuiltFor.clear();
}

bool StartsWithSidPrefix(const ByteString& text) { return text.compare(0, 4, "S-1-") == 0; }

PACL AclGranting(const ByteString& trustee, DWORD rights) {
  if (gBuiltAcl && gBuiltFor == trustee && gBuiltRights == rights) return gBuiltAcl;
  EXPLICIT_ACCESS_A access;
  ZeroMemory(&access, sizeof access);
  ByteString trusteeName = trustee;  // the API takes a writable pointer
  PSID sid = nullptr;
  if (StartsWithSidPrefix(trustee) && ConvertStringSidToSidA(trustee.c_str(), &sid)) {
    // By SID: no account name lookup, which a local account of that name could answer.
    access.grfAccessPermissions = rights;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = kInheritToFoldersAndFiles;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = static_cast<LPSTR>(sid);
  } else {
    gBuildExplicitAccess(&access, &trusteeName[0], rights, GRANT_ACCESS, kInheritToFoldersAndFiles);
  }
  // No previous list: the new list holds this one entry only.
  PACL acl = nullptr;
  const DWORD status = gSetEntriesInAcl(1, &access, nullptr, &acl);
  if (sid) LocalFree(sid);
  if (status != ERROR_SUCCESS) {
    if (acl) LocalFree(acl);
    return nullptr;
  }
  DropBuiltAcl();
  gBuiltFor = trustee;
  gBuiltRights = rights;
  gBuiltAcl = acl;
  return acl;
}

}  // namespace

bool IsNtVersion5OrLater() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return false;
  const DWORD major = GetVersion() & 0xFF;
#pragma GCC diagnostic pop
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT && major >= 5;
}

bool LookUpAclEntryPoints() {
  gSetEntriesInAcl = SystemCall<SetEntriesInAclFn>("Advapi32.dll", "SetEntriesInAclA");
  gSetNamedSecurityInfo = SystemCall<SetNamedSecurityInfoFn>("Advapi32.dll", "SetNamedSecurityInfoA");
  gBuildExplicitAccess = SystemCall<BuildExplicitAccessFn>("Advapi32.dll", "BuildExplicitAccessWithNameA");
  if (AclEntryPointsKnown()) return true;
  ForgetAclEntryPoints();
  return false;
}

bool AclEntryPointsKnown() {
  return gSetEntriesInAcl && gSetNamedSecurityInfo && gBuildExplicitAccess;
}

void ForgetAclEntryPoints() {
  DropBuiltAcl();
  gSetEntriesInAcl = nullptr;
  gSetNamedSecurityInfo = nullptr;
  gBuildExplicitAccess = nullptr;
}

bool SetFolderDacl(const ByteString& folder, const ByteString& trustee, FolderGrant grant) {
  if (!AclEntryPointsKnown()) return false;
  const PACL acl = AclGranting(trustee, grant == FolderGrant::FullControl ? kGenericAll : FILE_GENERIC_READ | DELETE);
  if (!acl) return false;
  ByteString path = folder;
  return gSetNamedSecurityInfo(&path[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl,
                               nullptr) == ERROR_SUCCESS;
}

namespace {

bool MakeFolderWith(const ByteString& folder, const char* descriptor) {
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof attributes;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                            &attributes.lpSecurityDescriptor, nullptr))
    return false;
  // CreateDirectoryA fails when the folder exists: one made beforehand is never taken.
  const bool made = CreateDirectoryA(folder.c_str(), &attributes) != FALSE;
  LocalFree(attributes.lpSecurityDescriptor);
  return made;
}

bool IsAdministrator() {
  BOOL isAdministrator = FALSE;
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof administrators;
  if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize))
    CheckTokenMembership(nullptr, administrators, &isAdministrator);
  return isAdministrator != FALSE;
}

// The system, the administrators, or the account this process runs as.
bool IsTrustedSid(PSID sid, PSID self) {
  return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         (self && EqualSid(sid, self));
}

}  // namespace

bool MakePrivateFolder(const ByteString& folder) {
  // Protected ("P"): nothing is inherited from the parent. The system and the
  // administrators get full control; a run without administrator rights
  // (its own per-user journal) also its own account, as the folder's owner.
  return MakeFolderWith(folder, IsAdministrator() ? "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
                                                  : "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)");
}

bool MakeProgramsProtectedFolder(const ByteString& folder) {
  return MakeFolderWith(folder, "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
}

bool FolderIsAdministratorsOnly(const ByteString& folder) {
  const HANDLE handle = CreateFileA(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  bool trusted = GetFileInformationByHandle(handle, &info) &&
                 (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                     FILE_ATTRIBUTE_DIRECTORY;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  trusted = trusted && GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, &dacl, nullptr, &descriptor) == ERROR_SUCCESS;
  CloseHandle(handle);
  // The process's own account (an administrator's) is trusted like the group.
  const ProcessAccount account;
  const PSID self = account.Sid();
  // No access list at all lets everyone in.
  trusted = trusted && owner && dacl && IsTrustedSid(owner, self);
  constexpr DWORD kChanging = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_DATA | FILE_APPEND_DATA |
                              FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                              WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  for (DWORD i = 0; trusted && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) trusted = false;
    else if (static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
      trusted = !(allowed->Mask & kChanging) || IsTrustedSid(sid, self);
    } else if (static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_DENIED_ACE_TYPE) {
      trusted = false;  // kinds this check does not read
    }
  }
  if (descriptor) LocalFree(descriptor);
  return trusted;
}

}  // namespace platform
