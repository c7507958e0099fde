#pragma once
// Updates: a package whose packed files are "Section:Setup.dlt" installs
// only over the version it was made from (the path line's "BaseVersion=").
// Before the first change the installed version (the entry's
// "DisplayVersion", and the product key's "Ver" where the product has
// written it: the setup never does) and every file an "action=patch" line
// names (its length and SHA-256) are checked; the file stays open, shared
// for reading only, until its line reads it, so nobody changes it between.
// The "patch" line then writes the new file: the base patched, or the base
// itself where the line carries no patch (PatchLen=0).
#include "base/Text.h"
#include "engine/PackedData.h"
#include "engine/ScriptCommands.h"

// The own file is an update.
bool OwnFileIsUpdate();
// Opens the base files of `patchLines` (after the path lines ran) and checks
// them and the installed version against `baseVersion`; the uninstaller
// `uninstaller` of product `product` names the entry. Empty when the update
// fits; otherwise what differs, one line for the window and the log.
ByteString CheckUpdateBase(const ByteString& baseVersion, const std::vector<CommandItems>& patchLines,
                           const ByteString& product, const ByteString& uninstaller);
// The "patch" action.
bool PatchFile(const CommandItems& items, PackedData& remaining);
// Closes the files the last check kept open.
void ReleaseUpdateBase();
