#pragma once
// Where the journal lives and how the next start finds it. The journal lies
// in a folder of its own that only the system and the administrators may
// change (below the common application data), and the machine's registry
// names it ("\SOFTWARE\QuillonSetup", "RunJournal"); a run without the
// rights for that uses the user's hive and local application data.
#include "base/Text.h"
#include "platform/Files.h"
#include "platform/Registry.h"

// Sixteen random hex digits, new for every call.
ByteString RandomToken();

// Makes a new journal (the anchor first, then a folder that did not exist
// before, then the file with its header) in `hive`'s place, else in the
// user's. 0 when none could be made; nothing is left then.
platform::AppendHandle CreateJournal(platform::Hive hive, ByteString& path, platform::Hive& madeIn);
// The journal file that `hive`'s anchor names; empty when there is none. An
// anchor key left without its value (a kill while it was made or removed)
// is dropped.
ByteString FindJournal(platform::Hive hive);
// Whether either hive's anchor names a journal.
bool AnchorNamesJournal();
// The journal file, its folder and the anchor go, in this order: a kill in
// between leaves an anchor that names nothing, which the next start drops.
void RemoveJournal(const ByteString& path, platform::Hive hive);
