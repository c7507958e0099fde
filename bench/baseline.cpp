// Benchmark baseline (never shipped): only the work no installer of this
// package format can avoid. Packed like a setup, it reads its own file,
// inflates "Section:Setup.cmd" and "Section:Setup.bin", then inflates each
// file's stream and writes the file with CreateFileA/WriteFile into the same
// folder tree, "*PgmPath*" being the folder given on the command line.
//
//   baseline.exe TARGET\          prints: read= inflate_bin= files= write=
//                                 total= (seconds) files= bytes= largest=
//
// write= is the part of files= spent creating folders and files and writing
// them: the floor of any installer that writes them one after the other.
//
// It reads the lines the benchmark generator writes ("action=save,OrigLen=..,
// ComprLen=..,Filename=*PgmPath*\..", no quoted items). Exit code 0 on
// success, 1 on any failure (with a message).
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "package/Sections.h"

namespace {

LARGE_INTEGER gFrequency;

double Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(gFrequency.QuadPart);
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "baseline: %s\n", what.c_str());
  std::exit(1);
}

struct Entry {
  long long origLen = 0;
  long long comprLen = 0;  // 0: stored raw
  std::string path;
};

// One zlib stream into a buffer of exactly the expected size.
void InflateExactly(z_stream& stream, const char* input, std::size_t inputSize, char* output,
                    std::size_t outputSize) {
  if (inflateReset(&stream) != Z_OK) Fail("inflateReset");
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
  stream.avail_in = static_cast<uInt>(inputSize);
  stream.next_out = reinterpret_cast<Bytef*>(output);
  stream.avail_out = static_cast<uInt>(outputSize);
  const int result = inflate(&stream, Z_FINISH);
  if (result != Z_STREAM_END || stream.total_out != outputSize) Fail("inflate: bad stream");
}

std::vector<Entry> ParseScript(const std::string& script, const std::string& target) {
  std::vector<Entry> entries;
  std::size_t pos = 0;
  while (pos < script.size()) {
    std::size_t end = script.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = script.size();
    const std::string line = script.substr(pos, end - pos);
    pos = end + 1;
    if (line.compare(0, 12, "action=save,") != 0 && line.compare(0, 23, "action=saveifnotexists,") != 0)
      continue;
    Entry entry;
    std::size_t itemStart = 0;
    while (itemStart <= line.size()) {
      std::size_t itemEnd = line.find(',', itemStart);
      if (itemEnd == std::string::npos) itemEnd = line.size();
      const std::string item = line.substr(itemStart, itemEnd - itemStart);
      itemStart = itemEnd + 1;
      if (item.compare(0, 8, "OrigLen=") == 0) entry.origLen = std::atoll(item.c_str() + 8);
      else if (item.compare(0, 9, "ComprLen=") == 0) entry.comprLen = std::atoll(item.c_str() + 9);
      else if (item.compare(0, 9, "Filename=") == 0) {
        std::string name = item.substr(9);
        if (name.compare(0, 10, "*PgmPath*\\") == 0) name = target + name.substr(10);
        entry.path = name;
      }
    }
    if (entry.origLen <= 0 || entry.path.empty()) Fail("unreadable line: " + line);
    entries.push_back(entry);
  }
  return entries;
}

// Creates the folder of `path` (every missing level), once per folder.
void EnsureFolderOf(const std::string& path, std::unordered_set<std::string>& made) {
  const std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return;
  const std::string folder = path.substr(0, slash);
  if (made.count(folder)) return;
  for (std::size_t at = folder.find('\\', 3);; at = folder.find('\\', at + 1)) {
    const std::string level = at == std::string::npos ? folder : folder.substr(0, at);
    if (made.insert(level).second && !CreateDirectoryA(level.c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
      Fail("CreateDirectoryA " + level);
    if (at == std::string::npos) break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  QueryPerformanceFrequency(&gFrequency);
  const double start = Now();
  if (argc < 2) Fail("usage: baseline.exe TARGET\\");
  std::string target = argv[1];
  if (target.empty() || target.back() != '\\') target += '\\';

  // The own file, read whole in one call.
  char modulePath[MAX_PATH];
  GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
  const HANDLE self = CreateFileA(modulePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (self == INVALID_HANDLE_VALUE) Fail("cannot open own file");
  const DWORD size = GetFileSize(self, nullptr);
  std::string whole(size, '\0');
  DWORD got = 0;
  if (!ReadFile(self, &whole[0], size, &got, nullptr) || got != size) Fail("cannot read own file");
  CloseHandle(self);
  const double afterRead = Now();

  std::size_t markerLength = 0;
  const std::size_t begin = FindSectionMarker(kSectionBeginningMark, whole, markerLength);
  if (begin == 0) Fail("no sections");
  const std::string_view sections = std::string_view(whole).substr(begin - 1);
  std::string_view cmd, bin;
  if (!ReadSectionIn(kSectionSetupCmd, sections, cmd)) Fail("no script");
  ReadSectionIn(kSectionSetupBin, sections, bin);  // absent: no files

  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) Fail("inflateInit");

  // The script: its size is not written anywhere, so it grows.
  std::string script(cmd.size() * 4 + 1024, '\0');
  for (;;) {
    inflateReset(&stream);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(cmd.data()));
    stream.avail_in = static_cast<uInt>(cmd.size());
    stream.next_out = reinterpret_cast<Bytef*>(&script[0]);
    stream.avail_out = static_cast<uInt>(script.size());
    const int result = inflate(&stream, Z_FINISH);
    if (result == Z_STREAM_END) break;
    if (result != Z_BUF_ERROR && result != Z_OK) Fail("script stream");
    script.resize(script.size() * 2);
  }
  script.resize(stream.total_out);
  const std::vector<Entry> entries = ParseScript(script, target);

  // The packed data: its size is the sum of the stored sizes, known exactly.
  std::size_t packedSize = 0, largest = 0;
  for (const Entry& e : entries) {
    packedSize += static_cast<std::size_t>(e.comprLen > 0 ? e.comprLen : e.origLen);
    if (static_cast<std::size_t>(e.origLen) > largest) largest = static_cast<std::size_t>(e.origLen);
  }
  std::string packed(packedSize, '\0');
  if (!bin.empty()) InflateExactly(stream, bin.data(), bin.size(), &packed[0], packed.size());
  const double afterBin = Now();

  std::vector<char> buffer(largest);
  std::unordered_set<std::string> made;
  std::size_t offset = 0;
  long long bytes = 0;
  double writing = 0;
  for (const Entry& e : entries) {
    const char* contents;
    if (e.comprLen > 0) {
      InflateExactly(stream, packed.data() + offset, static_cast<std::size_t>(e.comprLen), buffer.data(),
                     static_cast<std::size_t>(e.origLen));
      contents = buffer.data();
      offset += static_cast<std::size_t>(e.comprLen);
    } else {
      contents = packed.data() + offset;
      offset += static_cast<std::size_t>(e.origLen);
    }
    const double beforeWrite = Now();
    EnsureFolderOf(e.path, made);
    const HANDLE file = CreateFileA(e.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("CreateFileA " + e.path);
    DWORD put = 0;
    if (!WriteFile(file, contents, static_cast<DWORD>(e.origLen), &put, nullptr) || put != e.origLen)
      Fail("WriteFile " + e.path);
    CloseHandle(file);
    writing += Now() - beforeWrite;
    bytes += e.origLen;
  }
  inflateEnd(&stream);
  const double end = Now();
  std::printf("read=%.6f inflate_bin=%.6f files=%.6f write=%.6f total=%.6f nfiles=%zu bytes=%lld largest=%zu\n",
              afterRead - start, afterBin - afterRead, end - afterBin, writing, end - start, entries.size(),
              bytes, largest);
  return 0;
}
