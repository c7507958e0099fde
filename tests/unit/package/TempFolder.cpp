#include "TempFolder.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("qpkg-" + std::to_string(random()));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      root_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(root_, error);
}

std::string TempFolder::Path(const std::string& name) const { return (fs::path(root_) / name).string(); }

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = Path(name);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

#ifndef _WIN32
#include "platform/Process.h"
// Natively the process service comes from the fakes of tests/support, which
// these tests do not link: they never ask for the module path (they point the
// own-file path at their own files). The stand-in only satisfies the linker;
// it is weak so that a linked fake would take its place.
__attribute__((weak)) ByteString platform::ModuleFileName() { return ByteString(); }
// Nor do they require the own image's file: the check is only linked.
#include "platform/OwnFileCheck.h"
__attribute__((weak)) platform::OwnFileVerdict platform::CheckOwnFile(platform::ReadHandle) {
  return platform::OwnFileVerdict::Same;
}
#endif
