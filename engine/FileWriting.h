#pragma once
// The run's files and folders, each entered in the run's journal before it
// is made. A file that does not exist yet is made under its own name; one
// that replaces a file is written under a temporary name in its folder and
// renamed into place when complete, and the file it replaces is kept
// (renamed) as the backup until the run commits.
#include <cstdint>
#include <string_view>
#include "base/Text.h"
#include "platform/Files.h"

// One folder whose parent exists.
bool JournalMakeFolder(const ByteString& folder);
// The folder was made by this run (not one that existed before).
bool FolderMadeByThisRun(std::string_view folder);
// The folder and every missing one above it, top-down.
bool CreateFolderChain(const ByteString& path);
// CreateFolderChain once per folder (CreatedFolders); a data folder this run
// made is opened to the users.
bool EnsureFolder(std::string_view path);

// Writes the whole file. As a plain create would, an existing read-only,
// hidden or system file is not replaced. `why` tells a full disk apart.
bool JournalWriteFile(const ByteString& path, std::string_view data,
                      platform::WriteFailure* why = nullptr);
// For a file another writer makes (the shell link object): the name to
// write to, entered in the journal; then JournalPlaceFile puts it in place.
// Empty when the file may not be replaced.
ByteString JournalTemporaryName(const ByteString& path);
bool JournalPlaceFile(const ByteString& temporary, const ByteString& path);
bool JournalSetAttributes(const ByteString& path, uint32_t attributes);
// PathMakeSystemFolderA on the folder, its attributes entered before.
void JournalMakeSystemFolder(const ByteString& folder);
