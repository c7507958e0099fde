#include "tests/support/common/TempFolder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    fs::path candidate = base / ("qtest-" + std::to_string(stamp % 1000000007) + "-" +
                                 std::to_string(counter++));
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code error;
  // Read-only files would block the removal on Windows.
  for (auto it = fs::recursive_directory_iterator(path_, error); !error && it != fs::end(it);
       it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(path_, error);
}

ByteString TempFolder::operator/(const ByteString& name) const { return path_ + kSeparator + name; }

bool FileExistsOnHost(const ByteString& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool FolderExistsOnHost(const ByteString& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

ByteString ReadHostFile(const ByteString& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return ByteString();
  return ByteString(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteHostFile(const ByteString& path, const ByteString& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool MakeHostFolders(const ByteString& path) {
  std::error_code error;
  fs::create_directories(path, error);
  return fs::is_directory(path, error);
}

}  // namespace testsupport
