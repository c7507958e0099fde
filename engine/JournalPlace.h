#pragma once
// Where the journal lives and how the next start finds it. The journal lies
// in a folder of its own that only the system and the administrators may
// change (below the common application data), and the machine's registry
// names it ("\SOFTWARE\QuillonSetup", "RunJournal"); a run without the
// rights for that uses the user's hive and local application data.
#include <vector>
#include "base/Text.h"
#include "engine/JournalFormat.h"
#include "platform/Files.h"
#include "platform/Registry.h"

// Sixteen hex digits from the system's random generator, new for every call.
ByteString RandomToken();
// Text of that shape: sixteen lower-case hex digits.
bool IsRandomToken(const ByteString& text);

// Makes a new journal (a folder that did not exist before, made with its
// access list, then the file with its header, and only then the anchor
// that names it) in `hive`'s place, else in the user's. 0 when none could
// be made, or when the place's anchor names a journal (one left for the
// user's own run); nothing is left then.
platform::AppendHandle CreateJournal(platform::Hive hive, ByteString& path, platform::Hive& madeIn);
// The journal file that `hive`'s anchor names, for this run to recover;
// empty when there is none. A run with the machine's rights recovers the
// machine's journal, never a run for all users the user's (one without the
// machine's rights or for the user alone does, unless it runs raised above
// the user's programs or as the system account). The machine's
// journal must be genuine: "journal" in a "QuillonSetup-<hex>" folder
// directly below the common application data, not a reparse point, owned
// by the administrators (or the system) and writable by nobody else. A
// journal that is not is never replayed: its name moves aside in the
// anchor key ("RefusedJournal"), the run's errors say why, the run goes on.
// An anchor key left without its value (a kill while it was made or
// removed) is dropped.
ByteString FindJournal(platform::Hive hive);
// Whether a hive this run recovers names a journal.
bool AnchorNamesJournal();
// The anchor, the journal file and its folder go, in this order: the name
// first, so that a kill in between leaves no name of a half-removed journal.
void RemoveJournal(const ByteString& path, platform::Hive hive);
// Why a journal's entries may not be replayed; empty when every one lies
// where its run worked: files and folders below the journal's own folder or
// a folder it names as its run's ("place"), registry keys in the journal's
// hive below the product key it names, the uninstall entries or the
// anchor's key (and the keys made on the way to the product key).
ByteString WhyNotReplayable(const std::vector<JournalEntry>& entries, const ByteString& path, platform::Hive hive);
// A refused journal's name moves aside in the anchor key ("RefusedJournal",
// for inspection; nothing of it is touched), and the log says why.
void SetJournalAside(platform::Hive hive, const ByteString& path, const ByteString& why);
// A run killed between making its journal's folder and publishing its name
// leaves the folder empty (or with the journal's first line) and named by
// nothing; one killed between dropping the name and removing the journal
// leaves a journal that is never replayed. The next start removes such
// folders from the places it recovers: only "QuillonSetup-<hex>" directly in
// them, empty or holding just "journal", no link, in the machine's place
// genuine as above, never one an anchor names (to replay or set aside).
// The same way it removes the elevated copies' log folders that a killed
// run left in the machine's place ("QuillonSetupLog-<hex>", empty or
// holding just the log) once neither they nor the log changed for a day.
// Called only by a run that holds the setup's running mark, so no other
// setup is between making a folder and naming it.
void SweepOrphanJournalFolders();
