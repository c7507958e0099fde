// The running program's own file, split into the stub part and the section
// part. The file is opened once and read in pieces through that one handle
// (or duplicates of it): the stub part is kept (the uninstaller is made of
// it), sections are found by searching from the start of the section part
// and copied out or handed on as a range of the file.
#include <algorithm>

#include "package/OwnFileReader.h"
#include "package/ProgramImage.h"
#include "package/Sections.h"
#include "platform/Process.h"

namespace {
constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kHeaderBytes = 4096;  // more than any program image header

SectionLoadState gState = kSectionsNotLoaded;
OwnFileReader gReader;
ByteString gStub;
uint64_t gSectionStart = 0;  // file offset of the section part (= file size when there is none)
unsigned gLoadCount = 0;
bool gRequireImageFile = false;
platform::OwnFileVerdict gRefusal = platform::OwnFileVerdict::Same;
ByteString gOwnFilePathOverride;  // tests only; empty: the running module

// The searches made in the loaded file, by the names asked for: the file is
// held open against writers, so each answer stands until the next load (a
// run asks for its script, language data and packed files several times).
struct FoundSection {
  std::vector<ByteString> names;
  bool found;
  std::size_t which;
  uint64_t offset, length;
};
std::vector<FoundSection> gFound;

// The own file's program image header; all zero where it has none.
ImageHeaderFields OwnImageHeader() {
  ByteString header;
  ImageHeaderFields fields;
  if (!gReader.ReadRange(0, std::min<uint64_t>(gReader.Size(), kHeaderBytes), header) ||
      !ReadImageHeader(header, fields))
    fields = ImageHeaderFields();
  return fields;
}

// A signed package carries its signature's certificate table behind the last
// section. The signature does not cover the table's padding, so whatever
// lies there may have been changed after signing: the sections end where
// the table begins.
void EndAtCertificateTable(const ImageHeaderFields& header) {
  if (header.certSize != 0 && header.certOffset != 0) gReader.EndAt(header.certOffset);
}

// Where the sections begin: the beginning mark, which the packer puts right
// behind the program image (looked for there first: searching the whole
// stub for it reads it twice), else its first occurrence.
uint64_t SectionsStart(uint64_t imageEnd) {
  const ByteString mark = MakeSectionMarker(kSectionBeginningMark);
  ByteString there;
  if (imageEnd > 0 && gReader.ReadRange(imageEnd, mark.size(), there) && there == mark) return imageEnd;
  return gReader.Find(mark, 0);
}

// One pass over the section part for the first of the names' markers.
bool SearchOwnSection(const std::vector<ByteString>& names, std::size_t& which, uint64_t& offset, uint64_t& length) {
  std::vector<ByteString> markers;
  std::vector<std::string_view> patterns;
  for (const ByteString& name : names) markers.push_back(MakeSectionMarker(name));
  for (const ByteString& marker : markers) patterns.push_back(marker);
  const uint64_t at = gReader.FindFirstOf(patterns, gSectionStart, which);
  if (at == OwnFileReader::kNotFound) return false;
  const uint64_t lengthAt = at + markers[which].size();
  char bytes[kLengthBytes];
  if (gReader.Read(lengthAt, bytes, kLengthBytes) < kLengthBytes) return false;
  uint32_t raw = 0;
  for (std::size_t i = 0; i < kLengthBytes; ++i)
    raw |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  const int64_t stated = static_cast<int32_t>(raw);
  // As in ReadSectionIn: zero or less is empty, past the end gives what is there.
  offset = lengthAt + kLengthBytes;
  const uint64_t behind = gReader.Size() - offset;
  length = stated <= 0 ? 0 : std::min<uint64_t>(static_cast<uint64_t>(stated), behind);
  return true;
}
}  // namespace

void LoadOwnSections() {
  // A refused file is not opened again by name: the next open might find
  // the approved one back in place, but what was refused once ends the run.
  if (gState == kSectionsLoaded || gState == kSectionsRefused) return;
  gState = kSectionsLoadFailed;
  gStub.clear();
  gSectionStart = 0;
  gFound.clear();

  const ByteString path = gOwnFilePathOverride.empty() ? platform::ModuleFileName() : gOwnFilePathOverride;
  if (!gReader.Open(path) || gReader.Size() == 0) {
    gReader.Close();
    return;
  }
  if (gRequireImageFile) {
    gRefusal = platform::CheckOwnFile(gReader.Handle());
    if (gRefusal != platform::OwnFileVerdict::Same) {
      gReader.Close();
      gState = kSectionsRefused;
      return;
    }
  }
  const ImageHeaderFields header = OwnImageHeader();
  EndAtCertificateTable(header);
  const uint64_t at = SectionsStart(header.imageEnd);
  gSectionStart = at == OwnFileReader::kNotFound ? gReader.Size() : at;
  if (!gReader.ReadRange(0, gSectionStart, gStub)) {
    gReader.Close();
    return;
  }
  gState = kSectionsLoaded;
  ++gLoadCount;
}

bool FindOwnSection(const ByteString& name, uint64_t& offset, uint64_t& length) {
  std::size_t which = 0;
  return FindFirstOwnSection({name}, which, offset, length);
}

bool FindFirstOwnSection(const std::vector<ByteString>& names, std::size_t& which, uint64_t& offset, uint64_t& length) {
  offset = 0;
  length = 0;
  which = 0;
  if (gState != kSectionsLoaded || names.empty()) return false;
  for (const FoundSection& earlier : gFound)
    if (earlier.names == names) {
      which = earlier.which;
      offset = earlier.offset;
      length = earlier.length;
      return earlier.found;
    }
  const bool found = SearchOwnSection(names, which, offset, length);
  gFound.push_back(FoundSection{names, found, which, offset, length});
  return found;
}

bool ReadOwnSection(const ByteString& name, ByteString& payload) {
  payload.clear();
  uint64_t offset = 0, length = 0;
  if (!FindOwnSection(name, offset, length)) return false;
  return gReader.ReadRange(offset, length, payload);
}

bool DuplicateOwnFile(OwnFileReader& reader) {
  if (gState != kSectionsLoaded) return false;
  return reader.OpenDuplicate(gReader);
}

bool ReadSection(const ByteString& name, std::string_view data, std::string_view& payload) {
  payload = std::string_view();
  if (gState != kSectionsLoaded) return false;
  return ReadSectionIn(name, data, payload);
}

SectionLoadState SectionsState() { return gState; }
void RequireOwnImageFile() { gRequireImageFile = true; }
platform::OwnFileVerdict OwnFileRefusal() { return gRefusal; }
unsigned OwnSectionsLoadCount() { return gLoadCount; }
std::string_view StubPart() { return gStub; }

void ResetOwnSections() {
  gState = kSectionsNotLoaded;
  gRequireImageFile = false;
  gRefusal = platform::OwnFileVerdict::Same;
  gReader.Close();
  ByteString().swap(gStub);
  gSectionStart = 0;
  gFound.clear();
}

void SetOwnFilePathForTests(const ByteString& path) { gOwnFilePathOverride = path; }
