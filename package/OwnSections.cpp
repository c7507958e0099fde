// The running program's own file, read once and split into the stub part and
// the section part.
#include "package/WholeFiles.h"
#include "package/Sections.h"
#include "platform/Process.h"

namespace {
SectionLoadState gState = kSectionsNotLoaded;
ByteString gWholeFile;
std::string_view gStubPart;
std::string_view gSectionPart;
ByteString gOwnFilePathOverride;  // tests only; empty: the running module
}  // namespace

void LoadOwnSections() {
  if (gState == kSectionsLoaded) return;
  gState = kSectionsLoadFailed;
  gStubPart = std::string_view();
  gSectionPart = std::string_view();

  const ByteString path =
      gOwnFilePathOverride.empty() ? platform::ModuleFileName() : gOwnFilePathOverride;
  ReadWholeFile(path, gWholeFile);
  if (gWholeFile.empty()) return;

  gState = kSectionsLoaded;
  const std::string_view whole(gWholeFile);
  std::size_t markerLength = 0;
  const std::size_t position = FindSectionMarker(kSectionBeginningMark, whole, markerLength);
  if (position == 0) {
    gStubPart = whole;
  } else {
    gStubPart = whole.substr(0, position - 1);
    gSectionPart = whole.substr(position - 1);
  }
}

bool ReadSection(const ByteString& name, std::string_view data, std::string_view& payload) {
  payload = std::string_view();
  if (gState != kSectionsLoaded) return false;
  return ReadSectionIn(name, data, payload);
}

SectionLoadState SectionsState() { return gState; }
const ByteString& WholeFile() { return gWholeFile; }
std::string_view StubPart() { return gStubPart; }
std::string_view SectionPart() { return gSectionPart; }

void ResetOwnSections() {
  gState = kSectionsNotLoaded;
  gStubPart = std::string_view();
  gSectionPart = std::string_view();
  ByteString().swap(gWholeFile);
}

void SetOwnFilePathForTests(const ByteString& path) { gOwnFilePathOverride = path; }
