#pragma once
// The few fields of a program image's header (PE) that matter once sections
// are appended behind it: the header checksum and the certificate table
// entry of its data directory, where an Authenticode signature is found.
// A signature lies at the end of the file, behind the last setup section;
// it covers the file as it was signed, so a file made from the stub part of
// a signed setup must drop the entry (and fix the checksum) to stay a
// well-formed program.
#include <cstdint>
#include <string_view>
#include "base/Text.h"

struct ImageHeaderFields {
  std::size_t checksumOffset = 0;   // file offset of the header's CheckSum
  std::size_t certEntryOffset = 0;  // file offset of the certificate table entry; 0: the header has none
  uint32_t checksum = 0;
  uint32_t certOffset = 0;          // file offset of the certificate table (not an RVA)
  uint32_t certSize = 0;            // 0: not signed
  uint64_t imageEnd = 0;            // end of the last section's raw data; 0: the section table is not in `file`
};

// False when `file` does not begin with a PE program image header.
bool ReadImageHeader(std::string_view file, ImageHeaderFields& fields);
// The header checksum of `file`, computed as the system's image loader and
// signing tools do, the checksum field itself counting as zero.
uint32_t ImageChecksum(std::string_view file, std::size_t checksumOffset);
// When the header names a certificate table: clears the entry and, when the
// header carries a non-zero checksum, sets it to the checksum of `file` as it
// now is. Call it on the complete file. Any other file stays as it is (an
// unsigned image keeps its header byte for byte, stale checksum included).
void DropImageCertificate(ByteString& file);
