#pragma once
// Setup sections: named blocks of data appended behind the program image.
// A section is: marker (0xF7, the name XORed with the marker key, 0xF7), a
// 4-byte signed little-endian length, the payload. The packer and the stub
// share this one definition.
#include <cstdint>
#include <string_view>
#include <vector>
#include "base/Text.h"
#include "platform/OwnFileCheck.h"

class OwnFileReader;

// The one scrambling byte of every marker; the packer must use the same.
// Markers are only ever computed at run time (never stored as constants), so
// the program image cannot contain the marker that ends its own stub part.
constexpr unsigned char kSectionMarkerKey = 0x5A;

extern const char* const kSectionBeginningMark;  // "Section:BeginningMark"
extern const char* const kSectionSetupLng;       // "Section:Setup.lng"
extern const char* const kSectionSetupCmd;       // "Section:Setup.cmd"
extern const char* const kSectionSetupBin;       // "Section:Setup.bin"
// The packed files' data of a package built with the zstd codec, in place of
// "Section:Setup.bin": one zstd frame over the files stored as they are.
extern const char* const kSectionSetupZst;       // "Section:Setup.zst"
// An update's packed files (laid out as Setup.zst's): whole files and patches.
extern const char* const kSectionSetupDlt;       // "Section:Setup.dlt"
extern const char* const kSectionUninst;         // "Section:Uninst"

// Refused: opened, but not the running image's own file (see
// RequireOwnImageFile); nothing was read from it.
enum SectionLoadState : uint8_t {
  kSectionsNotLoaded = 0,
  kSectionsLoaded = 1,
  kSectionsLoadFailed = 2,
  kSectionsRefused = 3,
};

ByteString MakeSectionMarker(const ByteString& name);
// 1-based position of the first occurrence of the name's marker in data, 0
// when absent; markerLength receives the marker's byte count in any case.
std::size_t FindSectionMarker(const ByteString& name, std::string_view data, std::size_t& markerLength);
// Reads a section from `data` (the section part) whatever the load state;
// the payload is a view into `data`.
bool ReadSectionIn(const ByteString& name, std::string_view data, std::string_view& payload);
// As ReadSectionIn, but not found unless the own sections are loaded.
bool ReadSection(const ByteString& name, std::string_view data, std::string_view& payload);
ByteString BuildSection(const ByteString& name, std::string_view payload);

// The own executable, read in pieces: LoadOwnSections keeps the stub part and
// where the section part starts; sections are searched for in the file.
void LoadOwnSections();
SectionLoadState SectionsState();
// The elevated copy's: from the next load on, the opened own file must pass
// platform::CheckOwnFile before anything is read from it; otherwise the
// sections are refused, and stay so.
void RequireOwnImageFile();
// Why the last load was refused (Same when it was not).
platform::OwnFileVerdict OwnFileRefusal();
// Counts the loads that succeeded: tells one loaded file from the next.
unsigned OwnSectionsLoadCount();
std::string_view StubPart();
// Where the named section's payload lies in the own file (the same search
// and length rules as ReadSectionIn over the section part).
bool FindOwnSection(const ByteString& name, uint64_t& offset, uint64_t& length);
// The one of `names` whose marker comes first, in one pass over the file
// (`which` is its index): tells apart sections that stand for one another.
bool FindFirstOwnSection(const std::vector<ByteString>& names, std::size_t& which, uint64_t& offset, uint64_t& length);
// A copy of the named section's payload; meant for the small sections.
bool ReadOwnSection(const ByteString& name, ByteString& payload);
// A reader of its own on the loaded own file (for another thread): the same
// open file, never opened again by name. False when nothing is loaded.
bool DuplicateOwnFile(OwnFileReader& reader);
// Tests only: forget the loaded file (state back to not loaded).
void ResetOwnSections();
// Tests only: read `path` instead of the running module's file on the next
// LoadOwnSections; an empty path (the default) means the running module.
void SetOwnFilePathForTests(const ByteString& path);
