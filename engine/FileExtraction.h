#pragma once
// The "save" and "saveifnotexists" actions and whole-file writing.
#include <string_view>
#include "engine/ScriptInterpreter.h"

// Takes the file's stored data from the front of `remaining` (also when an
// existing file is spared, so the next command stays aligned), then writes it.
bool SaveFile(const CommandItems& items, PackedData& remaining, bool spareExisting);
// Makes sure of the folder, replaces the file, records it in WrittenFiles;
// "Write Error: " + path on failure.
bool WriteWholeFile(const ByteString& path, std::string_view data);

// The text from the last "." behind the last "\" or ":", in small letters
// (A-Z only); empty when the file name has no dot.
ByteString LowerFileExtension(const ByteString& path);
// An existing file, not a folder.
bool IsExistingFile(const ByteString& path);
