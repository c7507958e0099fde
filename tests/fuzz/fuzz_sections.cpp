// Setup sections over arbitrary bytes: finding a marker, reading its length
// and payload (ReadSectionIn on any data, ReadSection on the section part of
// an own file made of the input), and building a section that reads back.
//
// Input: byte 0 picks the extra name's length n (0..63), bytes 1..n the extra
// name; the rest is the data searched.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "package/OwnFileReader.h"
#include "package/Sections.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::Check;
using fuzzsupport::Show;

namespace {

// What ReadSectionIn must answer, worked out independently.
void CheckRead(const ByteString& name, std::string_view data) {
  std::string_view payload("stale");
  const bool found = ReadSectionIn(name, data, payload);

  const ByteString marker = MakeSectionMarker(name);
  Check(marker.size() == std::min<std::size_t>(name.size() + 2, 255), "marker length", Show(name));
  Check(static_cast<unsigned char>(marker.front()) == 0xF7, "marker starts with 0xF7", Show(marker));
  if (name.size() <= 253)
    Check(static_cast<unsigned char>(marker.back()) == 0xF7, "marker ends with 0xF7", Show(marker));

  std::size_t markerLength = 0;
  const std::size_t position = FindSectionMarker(name, data, markerLength);
  Check(markerLength == marker.size(), "FindSectionMarker's marker length");
  const std::size_t expectedAt = data.find(marker);
  Check(position == (expectedAt == std::string_view::npos ? 0 : expectedAt + 1), "first occurrence wins");

  if (position == 0 || data.size() - (position - 1 + markerLength) < 4) {
    Check(!found, "no marker or no length: not found", Show(data));
    Check(payload.empty(), "not found: empty payload");
    return;
  }
  Check(found, "marker with a length: found", Show(data));
  const std::size_t behind = position - 1 + markerLength + 4;
  uint32_t raw = 0;
  for (int i = 0; i < 4; ++i)
    raw |= static_cast<uint32_t>(static_cast<unsigned char>(data[position - 1 + markerLength + i])) << (8 * i);
  const int64_t length = static_cast<int32_t>(raw);
  const std::size_t rest = data.size() - behind;
  const std::size_t expected = length <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(length), rest);
  Check(payload.size() == expected, "payload length", Show(data));
  if (!payload.empty())
    Check(payload.data() == data.data() + behind, "payload starts behind the length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(bytes), size);
  std::vector<ByteString> names = {kSectionBeginningMark, kSectionSetupLng, kSectionSetupCmd,
                                   kSectionSetupBin, kSectionUninst, ""};
  if (!input.empty()) {
    const std::size_t n = std::min<std::size_t>(static_cast<unsigned char>(input[0]) & 0x3F, input.size() - 1);
    names.emplace_back(input.substr(1, n));
    input.remove_prefix(1 + n);
  }

  for (const ByteString& name : names) {
    CheckRead(name, input);
    // Built, a section reads back whole, whatever its payload.
    const ByteString section = BuildSection(name, input);
    std::string_view payload;
    Check(ReadSectionIn(name, section, payload), "built section found", Show(name));
    Check(payload == input, "built section reads back", Show(name));
  }

  // The same bytes as an own file behind a stub: ReadSection reads the
  // section part exactly as ReadSectionIn does.
  fuzzsupport::ResetWorld();
  const ByteString file = "MZ stub" + BuildSection(kSectionBeginningMark, "") + ByteString(input);
  Check(fuzzsupport::WriteHost("C/Setup.exe", file), "own file written");
  SetOwnFilePathForTests("C:\\Setup.exe");
  LoadOwnSections();
  Check(SectionsState() == kSectionsLoaded, "own file loads");
  // The file as its reader sees it (a header the input makes may name a
  // certificate table, where the file then ends): the stub part, then the
  // section part.
  OwnFileReader reader;
  ByteString seen;
  Check(DuplicateOwnFile(reader) && reader.ReadRange(0, reader.Size(), seen), "the loaded file reads");
  Check(file.compare(0, seen.size(), seen) == 0, "the own file reads as written", Show(seen));
  Check(seen.compare(0, StubPart().size(), StubPart()) == 0, "the stub part begins the file");
  const std::string_view sectionPart = std::string_view(seen).substr(StubPart().size());
  for (const ByteString& name : names) {
    ByteString viaFile;
    std::string_view viaState, viaData;
    const bool a = ReadSection(name, sectionPart, viaState);
    const bool b = ReadSectionIn(name, sectionPart, viaData);
    Check(a == b && viaState == viaData, "ReadSection equals ReadSectionIn once loaded", Show(name));
    const bool c = ReadOwnSection(name, viaFile);
    Check(c == b && viaFile == viaData, "the own file's section equals ReadSectionIn's", Show(name));
  }
  ResetOwnSections();
  SetOwnFilePathForTests("");
  return 0;
}
