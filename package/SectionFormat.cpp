// The section format: markers, searching and building. Shared by the stub
// and the packer; holds no state.
#include "package/Sections.h"

const char* const kSectionBeginningMark = "Section:BeginningMark";
const char* const kSectionSetupLng = "Section:Setup.lng";
const char* const kSectionSetupCmd = "Section:Setup.cmd";
const char* const kSectionSetupBin = "Section:Setup.bin";
const char* const kSectionSetupZst = "Section:Setup.zst";
const char* const kSectionSetupDlt = "Section:Setup.dlt";
const char* const kSectionUninst = "Section:Uninst";

namespace {
constexpr std::size_t kMaxMarkerLength = 255;
constexpr unsigned char kMarkerDelimiter = 0xF8;  // lowered by one at both ends
constexpr std::size_t kLengthBytes = 4;
}  // namespace

ByteString MakeSectionMarker(const ByteString& name) {
  // Read the key through a volatile so the compiler cannot fold a marker of a
  // constant name into the image, where it would be found as a section.
  volatile unsigned char scrambler = kSectionMarkerKey;
  const unsigned char key = scrambler;

  ByteString marker;
  marker.reserve(name.size() + 2);
  marker += static_cast<char>(kMarkerDelimiter);
  marker += name;
  marker += static_cast<char>(kMarkerDelimiter);
  if (marker.size() > kMaxMarkerLength) marker.resize(kMaxMarkerLength);

  if (marker.size() >= 3) {
    for (std::size_t i = 1; i + 1 < marker.size(); ++i)
      marker[i] = static_cast<char>(static_cast<unsigned char>(marker[i]) ^ key);
  }
  marker.front() = static_cast<char>(static_cast<unsigned char>(marker.front()) - 1);
  marker.back() = static_cast<char>(static_cast<unsigned char>(marker.back()) - 1);
  return marker;
}

std::size_t FindSectionMarker(const ByteString& name, std::string_view data, std::size_t& markerLength) {
  const ByteString marker = MakeSectionMarker(name);
  markerLength = marker.size();
  const std::size_t at = data.find(marker);
  return at == std::string_view::npos ? 0 : at + 1;
}

bool ReadSectionIn(const ByteString& name, std::string_view data, std::string_view& payload) {
  payload = std::string_view();
  std::size_t markerLength = 0;
  const std::size_t position = FindSectionMarker(name, data, markerLength);
  if (position == 0) return false;

  std::string_view behind = data.substr(position - 1 + markerLength);
  if (behind.size() < kLengthBytes) return false;

  uint32_t raw = 0;
  for (std::size_t i = 0; i < kLengthBytes; ++i)
    raw |= static_cast<uint32_t>(static_cast<unsigned char>(behind[i])) << (8 * i);
  const int64_t length = static_cast<int32_t>(raw);

  // A length of zero or less gives an empty payload; one reaching past the end
  // of the data gives what is there.
  behind.remove_prefix(kLengthBytes);
  if (length <= 0) {
    payload = behind.substr(0, 0);
  } else if (static_cast<uint64_t>(length) < behind.size()) {
    payload = behind.substr(0, static_cast<std::size_t>(length));
  } else {
    payload = behind;
  }
  return true;
}

ByteString BuildSection(const ByteString& name, std::string_view payload) {
  const ByteString marker = MakeSectionMarker(name);
  const uint32_t length = static_cast<uint32_t>(payload.size());
  ByteString section;
  section.reserve(marker.size() + kLengthBytes + payload.size());
  section += marker;
  for (std::size_t i = 0; i < kLengthBytes; ++i)
    section += static_cast<char>((length >> (8 * i)) & 0xFF);
  section.append(payload.data(), payload.size());
  return section;
}
