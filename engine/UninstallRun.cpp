#include "engine/UninstallRun.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "base/TextBasics.h"
#include "base/ByteStringList.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/InstalledFiles.h"
#include "engine/RegistryValues.h"
#include "engine/Uninstaller.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

// Data files the user made with the product; they survive the uninstall.
bool IsKeptFile(const ByteString& path) {
  const ByteString extension = LowerFileExtension(path);
  return extension == ".qda" || extension == ".qlg" || extension == ".qdb";
}

void (*gProgressHook)(uint64_t, uint64_t) = nullptr;
std::chrono::steady_clock::time_point gLastReport;

// At most every few milliseconds, and for the last file.
void ReportUninstallProgress(uint64_t done, uint64_t total) {
  if (!gProgressHook) return;
  const auto now = std::chrono::steady_clock::now();
  if (done < total && now - gLastReport < std::chrono::milliseconds(15)) return;
  gLastReport = now;
  gProgressHook(done, total);
}

}  // namespace

std::unique_ptr<TQStringList> ReadUninstallInfo() {
  auto lines = std::make_unique<TQStringList>();
  LoadOwnSections();
  ByteString payload;
  ReadOwnSection(kSectionUninst, payload);
  if (payload.empty()) {
    ReportError("uninstall information not found");
    return lines;
  }
  lines->SplitText(DecompressBytes(payload));
  return lines;
}

void RemoveUninstallEntry(const ByteString& key) {
  // The guard keeps the Uninstall key itself (and its other entries) safe:
  // "Uninstall\" + "\\\" would name the root once the system drops the
  // empty parts.
  if (TrimControls(key).size() < 3) return;
  if (key.front() == '\\' || key.back() == '\\' || key.find("\\\\") != ByteString::npos) return;
  DeleteRegistryTree(ByteString(kUninstallRoot) + "\\" + key);
}

void SetUninstallProgressHook(void (*hook)(uint64_t done, uint64_t total)) { gProgressHook = hook; }

bool RunUninstall(UninstallLeftovers* leftovers) {
  RemoveUninstallEntry(ParamList->ValueOf("UninstallKey"));

  std::unique_ptr<TQStringList> info = ReadUninstallInfo();
  if (info->Count() == 0) return false;
  const ByteString self = AsciiLower(platform::ModuleFileName());
  // When the setup reused an earlier entry, this key differs from the one
  // on the command line; both are removed.
  RemoveUninstallEntry(info->ValueOf("UninstallKey"));

  // Files, in the reverse order of their writing.
  uint64_t files = 0, removed = 0;
  for (int32_t i = 0; i < info->Count(); ++i) files += StartsWith(info->ItemText(i), "file=") ? 1 : 0;
  for (int32_t i = info->Count() - 1; i >= 0; --i) {
    const ByteString line = info->ItemText(i);
    if (!StartsWith(line, "file=")) continue;
    info->DeleteAt(i);
    const ByteString path = line.substr(5);
    if (leftovers && AsciiLower(path) == self) leftovers->file = path;
    if (!IsKeptFile(path)) platform::RemoveFile(path);
    ReportUninstallProgress(++removed, files);
  }
  // Folders, ascending (the lines are stored descending): a parent that
  // still holds a subfolder fails here and is tried again below.
  for (int32_t i = info->Count() - 1; i >= 0; --i) {
    const ByteString line = info->ItemText(i);
    if (StartsWith(line, "dir="))
      platform::RemoveEmptyDirectory(line.substr(4));
    else
      info->DeleteAt(i);
  }
  for (int32_t i = 0; i < info->Count(); ++i) {
    const ByteString folder = info->ItemText(i).substr(4);
    const std::size_t slash = folder.find_last_of('\\');
    if (slash != ByteString::npos && slash > 0) platform::RemoveEmptyDirectory(folder.substr(0, slash));
    if (leftovers && !leftovers->file.empty() && StartsWith(self, AsciiLower(folder + "\\").c_str())) {
      leftovers->folders.push_back(folder);
      // Never a bare "C:": that names the current folder of the drive.
      const ByteString parent = slash == ByteString::npos ? ByteString() : folder.substr(0, slash);
      if (parent.find('\\') != ByteString::npos) leftovers->folders.push_back(parent);
    }
  }
  if (leftovers)
    std::stable_sort(leftovers->folders.begin(), leftovers->folders.end(),
                     [](const ByteString& a, const ByteString& b) { return a.size() > b.size(); });
  return true;
}
