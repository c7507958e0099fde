#pragma once
// Who may change the folders a run makes. The data folder is opened to all
// users: full access for the built-in users group (by its SID), inherited by
// subfolders and files. In a run for all users, a folder made outside the
// protected program folders gets their protection as it is made.
#include <cstdint>
#include <functional>
#include "base/Text.h"
#include "platform/Security.h"

// Makes one folder whose parent exists. In a run for all users, a folder
// outside the program folders whose parent this run did not make gets the
// program folders' protection at its creation (so nobody can put a file
// into it first); below such a folder the protection is inherited.
bool MakeRunFolder(const ByteString& folder);

bool GrantFolderAccess(const ByteString& folder, platform::FolderGrant grant = platform::FolderGrant::FullControl);
bool SetFolderAccess(const ByteString& folder, const ByteString& trustee,
                     platform::FolderGrant grant = platform::FolderGrant::FullControl);
// The data folder's grant, made last: with the run's journal open it waits
// for the commit (nothing more is written into the folder by then, and an
// undone run never opened it); without one it is made at once.
bool GrantFolderAccessAtCommit(const ByteString& folder);
// Right before the commit entry: the waiting grants are entered in the
// journal (false when an entry could not be written: the run cannot commit).
// They are made after the commit entry, by the commit or by the start that
// completes a killed commit, so a run that is undone never opened a folder.
// A new run forgets any left.
bool GrantWaitingFolders();
// An entered grant, made through the folder held without links (a user who
// can change its parent cannot make it another folder meanwhile).
void MakeEnteredGrant(const ByteString& folder);
void ForgetWaitingGrants();

// The removals of the undo, the commit and the uninstall of a
// run for all users, where users may have put a link (the data folder opened to them, folders the
// run did not make): each goes from the drive's root down without following
// a link on the way or at the path, through the handle it checked. A
// refusal changes nothing, is one error of the run ("not followed: ...")
// and is final: true for it as for a change made, false when the change
// failed (and may be tried again).
bool RemoveWithoutLinks(const ByteString& path);  // a file, or an empty folder
// A rename within one folder, the same way.
bool RenameWithoutLinks(const ByteString& from, const ByteString& to, bool replace);
// A file's or folder's attributes set, the same way.
bool ChangeAttributesWithoutLinks(const ByteString& path, uint32_t attributes);
// Runs `change` (names inside `folder`) while the way down to the folder is
// held, none of it a link: the names reach that folder and no other. False,
// unchanged, when refused (said once, as above) or when `change` fails.
bool InFolderWithoutLinks(const ByteString& folder, const std::function<bool()>& change);
// Runs `each(i)` once for every i below `count`, grouped by the folder of
// `pathOf(i)`: a folder's items run together, in their order, while that
// folder is held as above, so that the way down to it is checked once for
// all of them instead of once per file. Folders come in the order of their
// first item; an item without a path runs alone, in its place. Where a
// folder cannot be held, each of its items checks its own way.
void ForEachInHeldFolders(std::size_t count, const std::function<ByteString(std::size_t)>& pathOf,
                          const std::function<void(std::size_t)>& each);
// The path is the data folder or lies below it.
bool InDataFolder(const ByteString& path);
// A removal at the next restart, by name: never for a path in the data
// folder (users may put a link there before the restart). False when refused.
bool RemoveAtRestartOutsideDataFolder(const ByteString& path);
// A replaced file's backup that the commit could not remove: its folder was
// not made by the run, so it goes at the restart only inside the program
// folders (outside the data folder), which no user can swap for a link
// before then. False, the backup left and the refusal said, elsewhere.
bool RemoveBackupAtRestart(const ByteString& path);

