#include "PackBuilder.h"

#include <atomic>
#include <deque>
#include <exception>
#include <filesystem>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "CommaText.h"
#include "FileUtil.h"
#include "LanguageData.h"
#include "ProgressLine.h"
#include "package/ProgramImage.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"

namespace setuppack {

namespace {

// The setup reads counts as signed 32-bit numbers and its own file whole, up
// to 2^31 - 1 bytes.
constexpr std::size_t kLargest = std::numeric_limits<int32_t>::max();

constexpr int kFileLevel = 3;     // each file: zlib's strongest level
constexpr int kSectionLevel = 2;  // script and packed data: zlib's default

bool IsSaveAction(const std::string& action) { return action == "save" || action == "saveifnotexists"; }

// A Source= path must name a file below the root: relative, without "..",
// without a drive or a colon.
bool SafeRelativePath(const std::string& source, std::string& relative) {
  relative.clear();
  if (source.empty() || source[0] == '/' || source[0] == '\\' || source.find(':') != std::string::npos)
    return false;
  std::string component;
  auto take = [&]() {
    if (component == "..") return false;
    if (!component.empty() && component != ".") {
      if (!relative.empty()) relative += '/';
      relative += component;
    }
    component.clear();
    return true;
  };
  for (char c : source) {
    if (c == '/' || c == '\\') {
      if (!take()) return false;
    } else {
      component += c;
    }
  }
  return take() && !relative.empty();
}

// One "save" line's file: what the line says, then what packing made of it.
struct FileJob {
  std::string where;  // "setup.src line 7: " for messages
  std::string path;
  bool raw = false;   // stored as it is (Stored=1, or every file with zstd)
  uint64_t statedSize = 0;
  std::vector<std::string> items;
  std::size_t actionIndex = 0;
  std::string action;
  // Filled by a packing thread:
  std::string data;   // the stored data: the raw contents or the file's zlib stream
  std::size_t origLen = 0;
  std::size_t storedLen = 0;  // the data's size, kept once the data went on
  std::string error;
};

// A line of the shipped script: passed on as it is, or made from a file job.
struct ScriptLine {
  std::string text;
  FileJob* job = nullptr;
};

class ScriptPacker {
public:
  ScriptPacker(const std::string& sourceName, const std::string& root, Codec codec)
      : sourceName_(sourceName), root_(root), codec_(codec) {}

  // Reads the line; a save line becomes a job. No file is read yet.
  bool ParseLine(std::size_t number, const std::string& line, std::deque<FileJob>& jobs, ScriptLine& out,
                 std::string& error) {
    where_ = sourceName_ + " line " + std::to_string(number) + ": ";
    std::vector<std::string> items;
    if (!SplitCommaText(line, items)) return Fail(error, "a quoted item is never closed: " + line);
    if (items.empty()) return Fail(error, "empty line (the setup would stop at it)");
    const int actionIndex = FindItem(items, "action");
    const std::string action = actionIndex < 0 ? std::string() : ItemValue(items[static_cast<std::size_t>(actionIndex)]);
    if (!IsSaveAction(action)) {
      out.text = line;
      return true;
    }
    if (FindItem(items, "OrigLen") >= 0 || FindItem(items, "ComprLen") >= 0)
      return Fail(error, "OrigLen and ComprLen are written by the packer; name the file with Source= instead");
    if (ValueOf(items, "Filename").empty()) return Fail(error, action + " line without Filename=");
    const std::string source = ValueOf(items, "Source");
    if (source.empty()) return Fail(error, action + " line without Source=");
    const std::string stored = ValueOf(items, "Stored");
    if (!stored.empty() && stored != "0" && stored != "1")
      return Fail(error, "Stored= must be 0 or 1, not \"" + stored + "\"");
    std::string relative;
    if (!SafeRelativePath(source, relative))
      return Fail(error, "Source=" + source + " is outside --root (give a relative path without \"..\")");

    FileJob& job = jobs.emplace_back();
    job.where = where_;
    job.path = (std::filesystem::path(root_) / relative).string();
    job.raw = stored == "1" || codec_ == Codec::kZstd;
    std::error_code sizeError;
    const uintmax_t size = std::filesystem::file_size(job.path, sizeError);
    job.statedSize = sizeError ? 0 : static_cast<uint64_t>(size);
    job.items = std::move(items);
    job.actionIndex = static_cast<std::size_t>(actionIndex);
    job.action = action;
    out.job = &job;
    return true;
  }

private:
  bool Fail(std::string& error, const std::string& text) const {
    error = where_ + text;
    return false;
  }

  std::string sourceName_;
  std::string root_;
  Codec codec_;
  std::string where_;
};

// Reads the job's file and, unless it is stored raw, compresses it. Runs on
// any packing thread: touches only its own job.
void PackFile(FileJob& job) {
  std::string contents;
  const ReadResult read = ReadFileBytes(job.path, contents);
  if (read != ReadResult::kOk) {
    job.error = job.where + "source " + DescribeReadFailure(read, job.path);
    return;
  }
  if (contents.empty()) {
    job.error = job.where + "source file is empty (the setup cannot write an empty file): " + job.path;
    return;
  }
  if (contents.size() > kLargest) {
    job.error = job.where + "source file is larger than 2 GB: " + job.path;
    return;
  }
  if (contents.size() != job.statedSize) {
    job.error = job.where + "source file changed while it was packed: " + job.path;
    return;
  }
  job.origLen = contents.size();
  job.data = job.raw ? std::move(contents) : CompressBytes(contents, kFileLevel);
  job.storedLen = job.data.size();
}

// Runs PackFile over jobs[first, last) on `threads` threads; each job is
// packed by exactly one of them, so the results do not depend on their number.
void PackFiles(std::deque<FileJob>& jobs, std::size_t first, std::size_t last, unsigned threads) {
  std::atomic<std::size_t> next{first};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto work = [&] {
    for (std::size_t i = next++; i < last; i = next++) {
      try {
        PackFile(jobs[i]);
      } catch (...) {
        std::lock_guard<std::mutex> lock(failureLock);
        if (!failure) failure = std::current_exception();
        next = last;
      }
    }
  };
  std::vector<std::thread> helpers;
  for (unsigned i = 1; i < threads && i < last - first; ++i) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

std::string ShippedLine(const FileJob& job) {
  std::vector<std::string> written{"action=" + job.action, "OrigLen=" + std::to_string(job.origLen)};
  if (!job.raw) written.push_back("ComprLen=" + std::to_string(job.storedLen));
  for (std::size_t i = 0; i < job.items.size(); ++i) {
    const std::string name = ItemName(job.items[i]);
    if (i == job.actionIndex || SameAsciiText(name, "Source") || SameAsciiText(name, "Stored")) continue;
    written.push_back(job.items[i]);
  }
  return JoinCommaText(written);
}

bool ReadInput(const std::string& path, const char* what, std::string& bytes, std::string& error) {
  const ReadResult read = ReadFileBytes(path, bytes);
  if (read == ReadResult::kOk) return true;
  error = std::string(what) + " " + DescribeReadFailure(read, path);
  return false;
}

}  // namespace

bool PackScript(const std::string& source, const std::string& sourceName, const std::string& root,
                const PackOptions& options, std::string& script, std::string& packedSection, std::string& error) {
  script.clear();
  packedSection.clear();
  const std::size_t zero = source.find('\0');
  if (zero != std::string::npos) {
    error = sourceName + ": contains a zero byte at offset " + std::to_string(zero) + " (the setup would stop reading there)";
    return false;
  }
  // First every line is read (no file yet); a line that cannot be packed
  // ends the list, and its message counts once the files before it packed.
  ScriptPacker packer(sourceName, root, options.codec);
  std::deque<FileJob> jobs;
  std::vector<ScriptLine> shipped;
  std::string lineError;
  const std::vector<std::string> lines = SplitLines(source);
  for (std::size_t i = 0; i < lines.size() && lineError.empty(); ++i) {
    ScriptLine out;
    if (packer.ParseLine(i + 1, lines[i], jobs, out, lineError)) shipped.push_back(std::move(out));
  }

  uint64_t total = 0;
  for (const FileJob& job : jobs) total += job.statedSize;
  std::unique_ptr<PackedSectionWriter> writer = options.codec == Codec::kZstd
                                                    ? MakeZstdSectionWriter(total, options.threads)
                                                    : MakeZlibSectionWriter();
  // The files in batches, each packed on every thread and then appended in
  // script order: the output is the same bytes for any number of threads,
  // and memory holds one batch.
  constexpr uint64_t kBatchBytes = uint64_t{64} << 20;
  constexpr std::size_t kBatchFiles = 512;
  std::size_t stored = 0;
  std::size_t nextLine = 0;
  ProgressLine progress(options.progress, jobs.size(), total);
  for (std::size_t first = 0; first < jobs.size();) {
    std::size_t last = first;
    uint64_t batchBytes = 0;
    while (last < jobs.size() && (last == first || (batchBytes < kBatchBytes && last - first < kBatchFiles)))
      batchBytes += jobs[last++].statedSize;
    PackFiles(jobs, first, last, options.threads);
    for (std::size_t i = first; i < last; ++i) {
      FileJob& job = jobs[i];
      if (!job.error.empty()) {
        error = job.error;
        return false;
      }
      stored += job.data.size();
      if (stored > kLargest) {
        error = job.where + "the packed files exceed 2 GB";
        return false;
      }
      writer->Add(job.data, !job.raw);
      progress.Add(1, job.origLen);
      std::string().swap(job.data);
      // The lines up to this job's can be written now.
      while (nextLine < shipped.size()) {
        ScriptLine& line = shipped[nextLine++];
        script += line.job ? ShippedLine(*line.job) : line.text;
        script += "\r\n";
        if (line.job == &job) break;
      }
    }
    first = last;
  }
  if (!lineError.empty()) {
    error = lineError;
    return false;
  }
  for (; nextLine < shipped.size(); ++nextLine) script += shipped[nextLine].text + "\r\n";
  packedSection = writer->Finish();
  return true;
}

bool BuildPackage(const BuildInputs& inputs, std::string& package, std::string& error) {
  package.clear();
  std::string stub, source, language;
  if (!ReadInput(inputs.stubPath, "stub", stub, error)) return false;
  if (stub.empty()) {
    error = "stub is empty: " + inputs.stubPath;
    return false;
  }
  std::size_t markerLength = 0;
  if (FindSectionMarker(kSectionBeginningMark, stub, markerLength) != 0) {
    error = "stub already carries sections (it is a package, not a stub): " + inputs.stubPath;
    return false;
  }
  ImageHeaderFields header;
  if (ReadImageHeader(stub, header) && header.certSize != 0) {
    error = "stub carries a signature (a certificate table of " + std::to_string(header.certSize) +
            " bytes): sections appended behind a signature break it; build from the unsigned stub, then sign the package: " +
            inputs.stubPath;
    return false;
  }
  if (!ReadInput(inputs.scriptPath, "script", source, error)) return false;
  std::error_code fsError;
  if (!std::filesystem::is_directory(inputs.rootPath, fsError)) {
    error = "--root is not a folder: " + inputs.rootPath;
    return false;
  }

  std::vector<std::pair<const char*, std::string>> sections;
  sections.emplace_back(kSectionBeginningMark, std::string());
  if (!inputs.languagePath.empty()) {
    std::string raw, converted, why;
    if (!ReadInput(inputs.languagePath, "language", raw, error)) return false;
    if (!ToUtf16LeWithBom(raw, converted, why)) {
      error = inputs.languagePath + ": " + why;
      return false;
    }
    sections.emplace_back(kSectionSetupLng, std::move(converted));
  }

  std::string script, packedSection;
  const char* const packedName = inputs.options.codec == Codec::kZstd ? kSectionSetupZst : kSectionSetupBin;
  try {
    if (!PackScript(source, inputs.scriptPath, inputs.rootPath, inputs.options, script, packedSection, error))
      return false;
    sections.emplace_back(kSectionSetupCmd, CompressBytes(script, kSectionLevel));
    std::string().swap(script);
    sections.emplace_back(packedName, std::move(packedSection));
  } catch (const EZLibError& zlibError) {
    error = std::string("compression failed: ") + zlibError.what();
    return false;
  }

  return AssemblePackage(std::move(stub), sections, packedName, package, error);
}

bool AssemblePackage(std::string stub, const std::vector<std::pair<const char*, std::string>>& sections,
                     const char* packedName, std::string& package, std::string& error) {
  package.clear();
  std::size_t markerLength = 0;
  std::size_t total = stub.size();
  for (const auto& section : sections) total += MakeSectionMarker(section.first).size() + 4 + section.second.size();
  if (total > kLargest) {
    error = "the package would exceed 2 GB, which the setup cannot read";
    return false;
  }
  package.reserve(total);
  package = std::move(stub);
  const std::size_t sectionStart = package.size();
  for (const auto& section : sections) package += BuildSection(section.first, section.second);

  // Readers take the first occurrence of a marker: make sure no payload
  // happens to contain the marker of a section behind it.
  const std::string_view sectionPart = std::string_view(package).substr(sectionStart);
  for (const auto& section : sections) {
    std::string_view payload;
    if (!ReadSectionIn(section.first, sectionPart, payload) || payload != section.second) {
      error = std::string("the marker of ") + section.first + " occurs inside an earlier section; the package would be unreadable";
      package.clear();
      return false;
    }
  }
  // The setup takes whichever packed files' section it meets first: the
  // other codec's marker must not come before this one's.
  for (const char* otherName : {kSectionSetupBin, kSectionSetupZst, kSectionSetupDlt}) {
    const std::size_t other = otherName == packedName ? 0 : FindSectionMarker(otherName, sectionPart, markerLength);
    if (other != 0 && other < FindSectionMarker(packedName, sectionPart, markerLength)) {
      error = std::string("the marker of ") + otherName + " occurs inside the package; the setup would misread it";
      package.clear();
      return false;
    }
  }
  return true;
}

}  // namespace setuppack
