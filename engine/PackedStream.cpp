#include "engine/PackedStream.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "base/TextBasics.h"
#include "engine/FileExtraction.h"
#include "engine/ScriptCommands.h"
#include "package/OwnFileReader.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "package/ZstdHelpers.h"

namespace {

// What one read of the section and one step of a file's data take at most.
constexpr std::size_t kReadPiece = std::size_t{256} << 10;

std::atomic<uint64_t> gDone{0};
std::atomic<uint64_t> gTotal{0};
PackedCodec gOpenedCodec = PackedCodec::kZlib;

// Where the packed files lie and how they are compressed.
struct PackedSection {
  PackedCodec codec = PackedCodec::kZlib;
  uint64_t offset = 0;
  uint64_t length = 0;
};

// Reads the section's bytes through a reader of its own on the loaded own
// file and decodes them. Made on the thread that loaded the file; it may
// then be read on another.
class SectionInflater : public PackedSource {
public:
  SectionInflater(const PackedSection& section, std::atomic<uint64_t>* done)
      : stream_(MakeStreamDecoder(section.codec)), next_(section.offset), end_(section.offset + section.length),
        done_(done) {
    DuplicateOwnFile(reader_);
    // No larger than the section: fresh memory costs a page fault a page.
    input_.resize(static_cast<std::size_t>(std::min<uint64_t>(kReadPiece, section.length)));
  }
  std::size_t Read(char* out, std::size_t room) override {
    for (;;) {
      if (stream_->Ended()) return 0;
      if (pending_.empty() && next_ < end_) {
        const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(kReadPiece, end_ - next_));
        const std::size_t got = reader_.Read(next_, &input_[0], want);
        // A file that shrank under us ends the data where it ends.
        end_ = got < want ? next_ + got : end_;
        next_ += got;
        pending_ = std::string_view(input_.data(), got);
        if (done_) done_->fetch_add(got, std::memory_order_relaxed);
      }
      const std::size_t made = stream_->Decode(pending_, out, room, next_ >= end_);
      if (made > 0) return made;
    }
  }

private:
  OwnFileReader reader_;
  std::unique_ptr<StreamDecoder> stream_;
  ByteString input_;
  std::string_view pending_;
  uint64_t next_;
  uint64_t end_;
  std::atomic<uint64_t>* done_;
};

// The section's name tells the codec: whichever of the two comes first.
bool LocatePacked(PackedSection& section) {
  LoadOwnSections();
  std::size_t which = 0;
  // An update's section is laid out as the zstd codec's.
  if (!FindFirstOwnSection({kSectionSetupBin, kSectionSetupZst, kSectionSetupDlt}, which, section.offset,
                           section.length))
    return false;
  section.codec = which == 0 ? PackedCodec::kZlib : PackedCodec::kZstd;
  return section.length > 0;
}

// The check of one loaded own file.
struct Check {
  unsigned generation = 0;
  std::atomic<bool> failed{false};
  // Last: destroying it waits for the thread, which writes `failed`.
  std::shared_future<void> result;
};
std::mutex gCheckLock;
std::shared_ptr<Check> gCheck;
void (*gDoneHook)() = nullptr;

void RunCheck(Check* check, SectionInflater* inflater) {
  try {
    // What is checked is dropped: a small buffer, not filled beforehand
    // (fresh memory costs a page fault a page).
    constexpr std::size_t kCheckPiece = std::size_t{64} << 10;
    const std::unique_ptr<char[]> scratch(new char[kCheckPiece]);
    while (inflater->Read(scratch.get(), kCheckPiece) > 0) {
    }
  } catch (...) {
    check->failed = true;
    if (gDoneHook) gDoneHook();
    throw;
  }
  if (gDoneHook) gDoneHook();
}

std::shared_ptr<Check> CurrentCheck() {
  std::lock_guard<std::mutex> lock(gCheckLock);
  return gCheck && gCheck->generation == OwnSectionsLoadCount() ? gCheck : nullptr;
}

// What the worker made of one line's data.
struct PreparedFile {
  bool complete = false;
  ByteString bytes;
  std::exception_ptr failure;
};

// Inflates `comprLen` bytes taken from `data` piece by piece into `file`,
// raising (kept in `file`) where DecompressBytes would over the whole stream;
// the data's end before comprLen bytes wins over any failure, as a short
// stream is refused before it is inflated.
// `stream` is the worker's one inflater, reset for each file (made on the
// first).
void InflateFileStream(PackedData& data, std::size_t origLen, std::size_t comprLen, PreparedFile& file,
                       std::unique_ptr<InflateStream>& stream) {
  constexpr std::size_t kFirstStep = 4096;
  // Deflate cannot expand more than 1032-fold: a larger OrigLen is no hint.
  const uint64_t most = static_cast<uint64_t>(comprLen) * 1032 + 256;
  try {
    if (origLen <= most) file.bytes.reserve(origLen + 1);
  } catch (const std::exception&) {
  }
  std::size_t produced = 0;
  std::size_t left = comprLen;
  try {
    if (stream) stream->Reset();
    else stream = std::make_unique<InflateStream>();
  } catch (...) {
    file.failure = std::current_exception();
  }
  while (left > 0 || (!file.failure && stream && !stream->Ended())) {
    std::string_view piece;
    if (left > 0) {
      piece = data.Take(std::min(left, kReadPiece));
      if (piece.empty()) {
        file.bytes.clear();
        file.failure = nullptr;
        return;  // short: complete stays false
      }
      left -= piece.size();
    }
    if (file.failure || stream->Ended()) continue;
    try {
      do {
        // Grown only when full, doubling: a small file keeps a small buffer.
        if (file.bytes.size() == produced)
          file.bytes.resize(std::max(file.bytes.capacity(), produced + std::max(produced, kFirstStep)));
        produced += stream->Inflate(piece, &file.bytes[produced], file.bytes.size() - produced, left == 0);
      } while (!stream->Ended() && (!piece.empty() || left == 0));
    } catch (...) {
      file.failure = std::current_exception();
    }
  }
  file.bytes.resize(produced);
  file.complete = true;
}

class ReadAheadFeed : public PackedFileFeed {
public:
  ReadAheadFeed(std::unique_ptr<PackedSource> source, std::vector<ByteString> lines, void (*waiting)())
      : data_(std::move(source)), lines_(std::move(lines)), waiting_(waiting) {
    worker_ = std::thread([this] { Work(); });
  }
  ~ReadAheadFeed() override {
    {
      std::lock_guard<std::mutex> lock(lock_);
      stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }

  PackedFile Next(std::size_t, std::size_t) override {
    std::unique_lock<std::mutex> lock(lock_);
    taken_.bytes.clear();
    ByteString().swap(taken_.bytes);  // give its memory back before waiting for the next
    while (queue_.empty() && !finished_) {
      if (waiting_) {
        lock.unlock();
        waiting_();
        lock.lock();
        if (!queue_.empty() || finished_) break;
        lineWaiting_ = true;
        changed_.wait_for(lock, std::chrono::milliseconds(15));
      } else {
        lineWaiting_ = true;
        changed_.wait(lock);
      }
      lineWaiting_ = false;
    }
    PackedFile file;
    if (queue_.empty()) return file;  // the worker has stopped: no more data
    taken_ = std::move(queue_.front());
    queue_.pop_front();
    queued_ -= taken_.bytes.capacity();
    // Waking the worker costs a trip through the system: only once the
    // queue has run half empty.
    const bool wake = workerWaiting_ && queued_ <= kReadAheadBytes / 2;
    lock.unlock();
    if (wake) changed_.notify_all();
    if (taken_.failure) std::rethrow_exception(taken_.failure);
    file.complete = taken_.complete;
    file.contents = taken_.bytes;
    return file;
  }

private:
  // The lines that take data, as the interpreter meets them; stops at the
  // first line that would fail before taking any (the run ends there).
  void Work() {
    for (const ByteString& line : lines_) {
      const CommandItems items = SplitCommandItems(line);
      const ByteString action = CommandValue(items, "action");
      const bool patch = action == "patch";
      if (action != "save" && action != "saveifnotexists" && !patch) continue;
      std::size_t origLen = 0, comprLen = 0;
      if (patch) {
        // A patch line takes its patch, raw, or nothing when the file is unchanged.
        if (CommandValue(items, "Filename").empty()) break;
        const int32_t patchLen = IntOrMinusOne(CommandValue(items, "PatchLen"));
        if (patchLen == 0) continue;
        if (patchLen < 0) break;
        origLen = static_cast<std::size_t>(patchLen);
      } else if (CheckSaveLine(items, origLen, comprLen) != SaveLineFault::kNone) {
        break;
      }
      {
        std::unique_lock<std::mutex> lock(lock_);
        if (queued_ >= kReadAheadBytes) {
          workerWaiting_ = true;
          changed_.wait(lock, [this] { return stop_ || queued_ <= kReadAheadBytes / 2; });
          workerWaiting_ = false;
        }
        if (stop_) break;
      }
      PreparedFile file;
      try {
        if (comprLen == 0) {
          TakeRaw(origLen, file);
        } else {
          InflateFileStream(data_, origLen, comprLen, file, inflater_);
        }
      } catch (...) {
        file.failure = std::current_exception();  // the section itself (the file changed)
      }
      const bool failed = static_cast<bool>(file.failure);
      bool wake = false;
      {
        std::lock_guard<std::mutex> lock(lock_);
        queued_ += file.bytes.capacity();
        queue_.push_back(std::move(file));
        wake = lineWaiting_;
      }
      if (wake) changed_.notify_all();
      if (failed) break;  // the run ends at that line
    }
    {
      std::lock_guard<std::mutex> lock(lock_);
      finished_ = true;
    }
    changed_.notify_all();
  }

  // In pieces: a stated length larger than the data costs no memory.
  void TakeRaw(std::size_t origLen, PreparedFile& file) {
    std::size_t left = origLen;
    while (left > 0) {
      const std::string_view piece = data_.Take(std::min(left, kReadPiece));
      if (piece.empty()) {
        ByteString().swap(file.bytes);
        return;
      }
      // Doubling, but never past the stated length: an honest line's file
      // takes its size once, not up to twice.
      const std::size_t need = file.bytes.size() + piece.size();
      if (need > file.bytes.capacity())
        file.bytes.reserve(std::min(origLen, std::max(need, 2 * file.bytes.capacity())));
      file.bytes.append(piece.data(), piece.size());
      left -= piece.size();
    }
    file.complete = true;
  }

  PackedData data_;
  std::unique_ptr<InflateStream> inflater_;
  std::vector<ByteString> lines_;
  void (*waiting_)();
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<PreparedFile> queue_;
  std::size_t queued_ = 0;
  bool stop_ = false;
  bool finished_ = false;
  bool workerWaiting_ = false;  // for room in the queue
  bool lineWaiting_ = false;    // a line for its file
  PreparedFile taken_;
  std::thread worker_;
};

}  // namespace

std::unique_ptr<PackedFileFeed> StartReadAhead(std::unique_ptr<PackedSource> source,
                                               std::vector<ByteString> lines, void (*waiting)()) {
  return std::make_unique<ReadAheadFeed>(std::move(source), std::move(lines), waiting);
}

std::unique_ptr<PackedSource> OpenPackedFiles() {
  PackedSection section;
  gDone = 0;
  gTotal = 0;
  if (!LocatePacked(section)) return nullptr;
  gTotal = section.length;
  gOpenedCodec = section.codec;
  return std::make_unique<SectionInflater>(section, &gDone);
}

void PackedProgress(uint64_t& done, uint64_t& total) {
  done = gDone.load(std::memory_order_relaxed);
  total = gTotal.load(std::memory_order_relaxed);
}

bool DecodesBesideCheck() { return gOpenedCodec == PackedCodec::kZlib; }

void StartPackedCheck() {
  PackedSection section;
  const bool any = LocatePacked(section);
  auto check = std::make_shared<Check>();
  check->generation = OwnSectionsLoadCount();
  // A section awaited at once is checked on this thread: starting and
  // ending a thread of its own would cost more than a small check.
  const bool atOnce = any && section.length <= kCheckAtOnceLimit;
  std::promise<void> here;
  if (any && !atOnce) {
    Check* const raw = check.get();  // not shared: the thread's state would hold the check it belongs to
    // The reader is made here, on the loading thread: the thread never
    // touches the loaded file's state.
    auto inflater = std::make_shared<SectionInflater>(section, nullptr);
    check->result = std::async(std::launch::async, [raw, inflater] { RunCheck(raw, inflater.get()); }).share();
  } else {
    check->result = here.get_future().share();
    if (!any) here.set_value();
  }
  std::shared_ptr<Check> previous;
  {
    std::lock_guard<std::mutex> lock(gCheckLock);
    previous = gCheck;
    gCheck = check;
  }
  if (previous && previous->result.valid()) previous->result.wait();
  if (!atOnce) return;
  try {
    SectionInflater inflater(section, nullptr);
    RunCheck(check.get(), &inflater);
    here.set_value();
  } catch (...) {
    here.set_exception(std::current_exception());
  }
  check->result.get();
}

void FinishPackedCheck(void (*waiting)()) {
  std::shared_ptr<Check> check = CurrentCheck();
  if (!check) {
    StartPackedCheck();
    check = CurrentCheck();
  }
  if (!check || !check->result.valid()) return;
  while (check->result.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready)
    if (waiting) waiting();
  check->result.get();
}

bool PackedCheckFailed() {
  std::shared_ptr<Check> check = CurrentCheck();
  return check && check->failed;
}

void RaisePackedCheckFailure() {
  std::shared_ptr<Check> check = CurrentCheck();
  if (check && check->failed) check->result.get();
}

void SetPackedCheckDoneHook(void (*hook)()) { gDoneHook = hook; }

void ResetPackedCheck() {
  std::shared_ptr<Check> previous;
  {
    std::lock_guard<std::mutex> lock(gCheckLock);
    previous.swap(gCheck);
  }
  if (previous && previous->result.valid()) previous->result.wait();
}
