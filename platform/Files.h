#pragma once
// Files and folders. Win32: FindFirstFileA, GetFileAttributesA, CreateFileA,
// ReadFile, WriteFile, CreateDirectoryA, SetFileAttributesA, DeleteFileA,
// RemoveDirectoryA. Natively: POSIX, with "X:\..." paths mapped below a root
// folder (see NativeDriveRoot) and "\" taken as "/".
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>
#include "base/Text.h"

namespace platform {

constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrNormal = 0x80;

struct FindData {
  uint32_t attributes = 0;
  uint32_t sizeHigh = 0;
  uint32_t sizeLow = 0;
  int64_t lastWrite = 0;  // seconds since 1970-01-01 UTC
  ByteString name;
};

// One directory lookup (FindFirstFileA, then FindClose). False when nothing matches.
bool FindFirst(const ByteString& path, FindData& data);
// The names in `folder` that start with `prefix` (case-insensitive;
// FindFirstFileA/FindNextFileA), "." and ".." left out; none when it cannot be read.
std::vector<ByteString> NamesIn(const ByteString& folder, const ByteString& prefix);
// GetFileAttributesA; kInvalidFileAttributes when the path does not exist.
uint32_t FileAttributesOf(const ByteString& path);
// The size of the file at `path` (GetFileAttributesExA, no folder listing:
// cheap enough to ask for every installed file); -1 when there is none.
int64_t SizeOfFile(const ByteString& path);
bool ChangeFileAttributes(const ByteString& path, uint32_t attributes);
// CreateDirectoryA without security attributes (parent must exist).
bool MakeDirectory(const ByteString& path);
bool RemoveFile(const ByteString& path);
// RemoveDirectoryA: removes only an empty folder.
bool RemoveEmptyDirectory(const ByteString& path);
// Opens the file read-only and reads exactly `size` bytes into `buffer` in one read.
bool ReadFileExactly(const ByteString& path, char* buffer, std::size_t size);
// Creates the file, replacing an existing one, and writes all bytes in one write.
// A file that was created but could not be written stays on disk.
bool WriteNewFile(const ByteString& path, const char* data, std::size_t size);
// Writes a log at a path that someone else may have prepared (a fixed name
// in a folder where users create entries): opened without following a link
// or junction and refused, unchanged, when it is a folder, a reparse point
// or a file with more than one link; otherwise its contents are replaced by
// the bytes. False when refused or not written.
bool WriteLogFile(const ByteString& path, const char* data, std::size_t size);

// A file opened for reading in pieces at any offset (CreateFileA; ReadFile).
// Others may read it while it is open, but neither write, rename nor delete
// it: what was read once stays what is read. 0 when it cannot be opened.
// Each handle serves one thread.
using ReadHandle = std::uintptr_t;
ReadHandle OpenForReading(const ByteString& path);
// A second handle on the same open file (DuplicateHandle), for another
// thread: no second open by name. 0 when it cannot be made.
ReadHandle DuplicateReading(ReadHandle file);
// The file's size; -1 when unknown.
int64_t SizeOfOpenFile(ReadHandle file);
// Reads up to `size` bytes at `offset`; answers how many (0 at the end or on failure).
std::size_t ReadAt(ReadHandle file, uint64_t offset, char* buffer, std::size_t size);
void CloseReading(ReadHandle file);

#ifndef _WIN32
// Native only: the host folder that stands for drive letter paths ("C:\x" ->
// root + "/C/x"). Empty (the default) maps "C:\x" to "/C/x" unchanged.
void SetNativeDriveRoot(const ByteString& root);
ByteString NativePath(const ByteString& path);
#endif

// --- Changes made through the run's journal ---

// Why a write failed: the volume is full, or anything else.
enum class WriteFailure { None, DiskFull, Other };
// Writes a new file under `temporary` (CREATE_NEW: it must not exist yet)
// and, once every byte is written, renames it to `target` through the same
// handle, replacing a target that exists. `beforePlacing`, when given, runs
// between the two and may refuse. A file that was not placed is removed
// again: no cut-off file ever stands under either name.
bool WriteThenPlace(const ByteString& temporary, const ByteString& target, const char* data, std::size_t size,
                    const std::function<bool()>& beforePlacing, WriteFailure* why = nullptr);
// Writes a new file under its own name (CREATE_NEW: never over anything). A
// write that fails removes what it made; a kill may leave it cut off.
bool WriteFileAsNew(const ByteString& path, const char* data, std::size_t size, WriteFailure* why = nullptr);
// MoveFileExA on one volume; `replace` replaces an existing target.
bool RenameFile(const ByteString& from, const ByteString& to, bool replace);
// Bytes the caller may still write on the volume that holds `path` (the
// nearest existing folder above it is asked); false when unknown.
bool FreeSpaceAt(const ByteString& path, uint64_t& bytes);
// Another program holds the file open: it cannot be opened for writing and
// deleting without sharing.
bool FileIsHeld(const ByteString& path);
// MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT: the file or emptied folder
// goes when the system next starts.
bool RemoveAtRestart(const ByteString& path);

// Changes in a folder that others may change (the data folder opened to
// users, a folder the run did not make, the temporary folder). `trusted` is
// a folder above it that they may not change; every folder on the way from
// there down to `path`, and the object itself, is opened without following
// a reparse point (and the folders held so that none can be renamed away);
// the object's final path, asked through its handle, must be the trusted
// folder's followed by the rest of `path`. Only then is the change made,
// through that handle. Refused: a reparse point on the way or at the path,
// a final path elsewhere, a path not below `trusted`; nothing is changed.
enum class GuardedChange { Done, Failed, Refused };
// A file, or an empty folder.
GuardedChange RemoveBelow(const ByteString& trusted, const ByteString& path);
// A file or folder renamed within its own folder (`to` names the same folder).
GuardedChange RenameBelow(const ByteString& trusted, const ByteString& from, const ByteString& to, bool replace);
// A file's or folder's attributes set (SetFileInformationByHandle, FileBasicInfo).
GuardedChange ChangeAttributesBelow(const ByteString& trusted, const ByteString& path, uint32_t attributes);
// Runs `change` while the way from `trusted` down to `folder`, and the folder
// itself, is held as above (none of them a reparse point, none renamed away
// meanwhile): names inside `folder` then reach that folder and no other.
// Done when `change` answers true, Failed when false or not reached.
GuardedChange InHeldFolder(const ByteString& trusted, const ByteString& folder, const std::function<bool()>& change);

// Bytes from the system's random generator (RtlGenRandom; natively
// /dev/urandom); false when it gave none.
bool SystemRandomBytes(void* buffer, std::size_t size);

// A file that grows by appended records (the journal): each append is one
// write to the system, so a killed process loses nothing it appended.
using AppendHandle = std::uintptr_t;
AppendHandle CreateAppendFile(const ByteString& path);  // CREATE_NEW; 0 on failure
bool AppendBytes(AppendHandle file, const char* data, std::size_t size);
void CloseAppend(AppendHandle file);

#ifndef _WIN32
// Native only: files that count as held by another program, and a volume
// size limit (bytes still free) that tests set; -1 lifts it.
void SetNativeHeldFile(const ByteString& path, bool held);
void SetNativeFreeSpace(int64_t bytes);
// What RemoveAtRestart was asked to remove (natively nothing restarts).
std::vector<ByteString>& NativeRestartRemovals();
// Every call that changes a file, a folder or (in the registry fake) a key
// or value counts as one change point; the hook, when set, is called before
// each with its number (tests end the process there, as a kill would).
void NativeChangePoint();
void SetNativeChangeHook(void (*hook)(uint64_t point));
#endif

}  // namespace platform
