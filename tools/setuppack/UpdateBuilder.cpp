#include "UpdateBuilder.h"

#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include <zstd.h>

#include "BinaryDiff.h"
#include "CommaText.h"
#include "PackBuilder.h"
#include "PackageReader.h"
#include "ProgressLine.h"
#include "SectionWriters.h"
#include "package/Sections.h"
#include "package/Sha256.h"
#include "package/ZLibHelpers.h"

namespace setuppack {

namespace {

constexpr int kScriptLevel = 2;  // zlib's default, as every package's script
// The partner's offer: the setup removes it after every install that does not
// run it (app/SetupFlows.cpp), so no installation keeps it to patch.
constexpr char kPartnerProgram[] = "EBAY_SETUP_SHORTCUTS_1018.EXE";

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// One file the next version's script saves.
struct UpdateFile {
  std::size_t line = 0;
  std::vector<std::string> items;
  const std::string* contents = nullptr;
  const std::string* base = nullptr;  // the base's file at the same target; none: whole
  // Filled by a diffing thread:
  bool patched = false;
  std::string data;  // what goes in the section: the patch, or the whole file
};

// Compressed alone at the patch's level: what the file would cost whole.
std::size_t WholeCost(const std::string& contents) {
  std::string out(ZSTD_compressBound(contents.size()), '\0');
  const std::size_t size = ZSTD_compress(&out[0], out.size(), contents.data(), contents.size(), 19);
  return ZSTD_isError(size) ? contents.size() : size;
}

void Diff(UpdateFile& file) {
  if (!file.base) {
    file.data = *file.contents;
    return;
  }
  file.patched = true;
  if (*file.base == *file.contents) return;  // unchanged: no bytes
  file.data = MakeBinaryPatch(*file.base, *file.contents);
  if (file.data.size() >= WholeCost(*file.contents)) {
    file.patched = false;
    file.data = *file.contents;
  }
}

// Each file is diffed by exactly one thread: the result does not depend on their number.
void DiffAll(std::vector<UpdateFile>& files, unsigned threads, bool showProgress) {
  uint64_t total = 0;
  for (const UpdateFile& file : files) total += file.contents->size();
  ProgressLine progress(showProgress, files.size(), total);
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureLock;  // also the progress line's
  auto work = [&] {
    for (std::size_t i = next++; i < files.size(); i = next++) {
      try {
        Diff(files[i]);
        std::lock_guard<std::mutex> lock(failureLock);
        progress.Add(1, files[i].contents->size());
      } catch (...) {
        std::lock_guard<std::mutex> lock(failureLock);
        if (!failure) failure = std::current_exception();
        next = files.size();
      }
    }
  };
  std::vector<std::thread> helpers;
  for (unsigned i = 1; i < threads && i < files.size(); ++i) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

std::string UpdateLine(const UpdateFile& file) {
  const std::string action = ValueOf(file.items, "action");
  std::vector<std::string> written;
  if (file.patched) {
    written = {"action=patch", "OrigLen=" + std::to_string(file.contents->size()),
               "PatchLen=" + std::to_string(file.data.size()), "BaseLen=" + std::to_string(file.base->size()),
               "BaseSha256=" + Sha256Hex(*file.base), "Sha256=" + Sha256Hex(*file.contents)};
  } else {
    written = {"action=" + action, "OrigLen=" + std::to_string(file.contents->size())};
  }
  for (const std::string& item : file.items) {
    const std::string name = ItemName(item);
    if (!SameAsciiText(name, "action") && !SameAsciiText(name, "OrigLen") && !SameAsciiText(name, "ComprLen")) written.push_back(item);
  }
  return JoinCommaText(written);
}

bool ReadSide(const std::string& path, PackageContents& contents, std::string& error) {
  if (!ReadPackageContents(path, contents, error)) return false;
  if (contents.update) {
    error = path + " is an update itself; give the full packages of both versions";
    return false;
  }
  return true;
}

}  // namespace

bool BuildUpdate(const UpdateInputs& inputs, std::string& package, std::string& error) {
  package.clear();
  PackageContents base, next;
  if (!ReadSide(inputs.basePath, base, error) || !ReadSide(inputs.nextPath, next, error)) return false;

  // What the base's script leaves at each target (the last save wins).
  std::string baseVersion;
  std::map<std::string, const std::string*> baseFiles;
  for (std::size_t n = 0; n < base.lines.size(); ++n) {
    std::vector<std::string> items;
    if (!SplitCommaText(base.lines[n], items)) continue;
    const std::string action = ValueOf(items, "action");
    if (action == "path" && !ValueOf(items, "Version").empty()) baseVersion = ValueOf(items, "Version");
    if (action == "save" && base.files.count(n)) baseFiles[Upper(ValueOf(items, "Filename"))] = &base.files[n];
  }
  if (baseVersion.empty()) {
    error = inputs.basePath + ": its script states no Version= (an update must know what it installs over)";
    return false;
  }

  std::vector<UpdateFile> files;
  std::vector<std::string> lines = next.lines;
  bool pathLine = false;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::vector<std::string> items;
    if (!SplitCommaText(lines[n], items)) continue;
    const std::string action = ValueOf(items, "action");
    if (action == "path" && !pathLine) {
      pathLine = true;
      items.push_back("BaseVersion=" + baseVersion);
      lines[n] = JoinCommaText(items);
    }
    if ((action != "save" && action != "saveifnotexists") || !next.files.count(n)) continue;
    UpdateFile& file = files.emplace_back();
    file.line = n;
    file.contents = &next.files[n];
    const std::string target = Upper(ValueOf(items, "Filename"));
    const auto found = baseFiles.find(target);
    const bool partner = target.size() >= sizeof kPartnerProgram &&
                         target.compare(target.size() - sizeof kPartnerProgram, std::string::npos,
                                        std::string("\\") + kPartnerProgram) == 0;
    if (action == "save" && found != baseFiles.end() && !partner) file.base = found->second;
    file.items = std::move(items);
  }
  if (!pathLine) {
    error = inputs.nextPath + ": its script has no path line";
    return false;
  }
  DiffAll(files, inputs.threads, inputs.progress);

  uint64_t total = 0;
  for (const UpdateFile& file : files) total += file.data.size();
  std::unique_ptr<PackedSectionWriter> writer = MakeZstdSectionWriter(total, inputs.threads);
  for (UpdateFile& file : files) {
    lines[file.line] = UpdateLine(file);
    writer->Add(file.data, false);
    std::string().swap(file.data);
  }
  std::string script;
  for (const std::string& line : lines) script += line + "\r\n";

  std::vector<std::pair<const char*, std::string>> sections;
  sections.emplace_back(kSectionBeginningMark, std::string());
  if (!next.language.empty()) sections.emplace_back(kSectionSetupLng, std::move(next.language));
  try {
    sections.emplace_back(kSectionSetupCmd, CompressBytes(script, kScriptLevel));
  } catch (const EZLibError& zlibError) {
    error = std::string("compression failed: ") + zlibError.what();
    return false;
  }
  sections.emplace_back(kSectionSetupDlt, writer->Finish());
  return AssemblePackage(std::move(next.stub), sections, kSectionSetupDlt, package, error);
}

}  // namespace setuppack
