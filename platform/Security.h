#pragma once
// Folder access lists. Win32: GetVersionEx/GetVersion for the platform test;
// SetEntriesInAclA, SetNamedSecurityInfoA and BuildExplicitAccessWithNameA
// looked up at run time in the already loaded "Advapi32.dll".
#include "base/Text.h"

namespace platform {

// NT family (VER_PLATFORM_WIN32_NT) and major version (low byte of GetVersion) >= 5.
bool IsNtVersion5OrLater();
// Looks up the three entry points (GetModuleHandleA + GetProcAddress); false,
// and nothing kept, when any is missing. Once found they are kept.
bool LookUpAclEntryPoints();
bool AclEntryPointsKnown();
void ForgetAclEntryPoints();
// What a folder's grant lets its trustee do there: everything, or read what
// it holds and remove it (FILE_GENERIC_READ and DELETE), nothing more.
enum class FolderGrant { FullControl, ReadAndRemove };
// With the looked-up entry points: a new DACL holding one GRANT_ACCESS entry
// of `grant` (GENERIC_ALL, or the rights above) for `trustee` (a SID in its
// "S-1-..." form, or an account name), inherited by subfolders and files,
// set on `folder`. True when SetNamedSecurityInfoA returns 0; false as well
// when the entry points are not known.
bool SetFolderDacl(const ByteString& folder, const ByteString& trustee,
                   FolderGrant grant = FolderGrant::FullControl);


// Creates `folder` (it must not exist yet) with an access list of its own,
// not inherited: full control for the system and the administrators, nothing
// for anyone else. Natively: a folder of mode 0700.
bool MakePrivateFolder(const ByteString& folder);

// The folder is one no standard user can have prepared or can change: not a
// reparse point, owned by the system, the administrators or this process's
// own account, and no entry of its access list lets anyone else write,
// create, delete or change its access (also none inherited by what it holds).
bool FolderIsAdministratorsOnly(const ByteString& folder);

// Creates `folder` (it must not exist yet) with the protection of the
// system's program folders: full control for the system and the
// administrators, reading and running for the users, nothing inherited from
// the parent, all of it inherited below. Natively: a folder of mode 0755.
bool MakeProgramsProtectedFolder(const ByteString& folder);

}  // namespace platform
