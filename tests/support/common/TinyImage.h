#pragma once
// A minimal program image header (PE32, 16 data directory entries) for tests
// of the header fields that signing touches: CheckSum and the certificate
// table entry. Offsets are the layout's own: e_lfanew 0x80, optional header
// at 0x98.
#include <cstdint>
#include <string>

namespace testsupport {

constexpr std::size_t kTinyImageChecksumAt = 0xD8;
constexpr std::size_t kTinyImageCertEntryAt = 0x118;

inline void PutLe32(std::string& bytes, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline uint32_t GetLe32(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return value;
}

// 0x400 bytes: the header, then filler that stands for the image's one section.
inline std::string TinyImage(uint32_t checksum, uint32_t certOffset = 0, uint32_t certSize = 0) {
  std::string image(0x400, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  PutLe32(image, 0x3C, 0x80);
  image.replace(0x80, 4, std::string("PE\0\0", 4));
  image[0x84] = '\x4C';  // i386
  image[0x85] = '\x01';
  image[0x86] = 1;       // one section: its raw data from 0x200 to the end
  image[0x94] = '\xE0';  // size of the optional header
  image[0x98] = '\x0B';  // PE32
  image[0x99] = '\x01';
  PutLe32(image, kTinyImageChecksumAt, checksum);
  PutLe32(image, 0xF4, 16);
  PutLe32(image, kTinyImageCertEntryAt, certOffset);
  PutLe32(image, kTinyImageCertEntryAt + 4, certSize);
  PutLe32(image, 0x178 + 16, 0x200);
  PutLe32(image, 0x178 + 20, 0x200);
  for (std::size_t i = 0x200; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
  return image;
}

}  // namespace testsupport
