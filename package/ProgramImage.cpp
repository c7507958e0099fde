#include "package/ProgramImage.h"

#include <algorithm>

namespace {

constexpr uint16_t kOptionalMagic32 = 0x10B;
constexpr uint16_t kOptionalMagic64 = 0x20B;
constexpr uint32_t kCertificateDirectory = 4;

uint32_t Read16(std::string_view data, std::size_t at) {
  return static_cast<unsigned char>(data[at]) | static_cast<uint32_t>(static_cast<unsigned char>(data[at + 1])) << 8;
}

uint32_t Read32(std::string_view data, std::size_t at) { return Read16(data, at) | Read16(data, at + 2) << 16; }

void Write32(ByteString& data, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) data[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

bool ReadImageHeader(std::string_view file, ImageHeaderFields& fields) {
  fields = ImageHeaderFields();
  if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') return false;
  const std::size_t pe = Read32(file, 0x3C);
  // "PE\0\0", the 20-byte file header, then the optional header.
  if (pe > file.size() || file.size() - pe < 24 || file.substr(pe, 4) != std::string_view("PE\0\0", 4)) return false;
  const std::size_t optional = pe + 24;
  const std::size_t optionalSize = Read16(file, pe + 20);
  if (optionalSize < 2 || file.size() - optional < optionalSize) return false;
  const uint32_t magic = Read16(file, optional);
  if (magic != kOptionalMagic32 && magic != kOptionalMagic64) return false;
  // The data directory follows the fixed part, which the 64-bit form widens by 16 bytes.
  const std::size_t countOffset = optional + (magic == kOptionalMagic32 ? 92 : 108);
  const std::size_t directory = countOffset + 4;
  if (directory > optional + optionalSize) return false;
  fields.checksumOffset = optional + 64;
  fields.checksum = Read32(file, fields.checksumOffset);
  const std::size_t entry = directory + 8 * kCertificateDirectory;
  if (Read32(file, countOffset) > kCertificateDirectory && entry + 8 <= optional + optionalSize) {
    fields.certEntryOffset = entry;
    fields.certOffset = Read32(file, entry);
    fields.certSize = Read32(file, entry + 4);
  }
  // The section table follows the optional header: 40 bytes a section, its
  // raw data's size at +16 and file offset at +20.
  const std::size_t table = optional + optionalSize;
  const std::size_t sections = Read16(file, pe + 6);
  if (table + 40 * sections <= file.size()) {
    for (std::size_t i = 0; i < sections; ++i) {
      const std::size_t at = table + 40 * i;
      fields.imageEnd = std::max<uint64_t>(fields.imageEnd, uint64_t{Read32(file, at + 20)} + Read32(file, at + 16));
    }
  }
  return true;
}

uint32_t ImageChecksum(std::string_view file, std::size_t checksumOffset) {
  uint64_t sum = 0;
  auto byteAt = [&](std::size_t i) -> uint32_t {
    if (i >= file.size() || (i >= checksumOffset && i < checksumOffset + 4)) return 0;
    return static_cast<unsigned char>(file[i]);
  };
  for (std::size_t i = 0; i < file.size(); i += 2) {
    sum += byteAt(i) | byteAt(i + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

void DropImageCertificate(ByteString& file) {
  ImageHeaderFields fields;
  if (!ReadImageHeader(file, fields) || (fields.certOffset == 0 && fields.certSize == 0)) return;
  Write32(file, fields.certEntryOffset, 0);
  Write32(file, fields.certEntryOffset + 4, 0);
  if (fields.checksum != 0) Write32(file, fields.checksumOffset, ImageChecksum(file, fields.checksumOffset));
}
