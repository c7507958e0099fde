// Files and folders through the ANSI Win32 file API.
#include "platform/Files.h"

#include <windows.h>

#include "platform/PathsBelow.h"
#include "platform/win32/SystemCalls.h"

#include <limits>
#include <vector>

namespace platform {

bool FindFirst(const ByteString& path, FindData& data) {
  data = FindData();
  WIN32_FIND_DATAA found;
  ZeroMemory(&found, sizeof(found));
  const HANDLE handle = FindFirstFileA(path.c_str(), &found);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FindClose(handle);
  data.attributes = found.dwFileAttributes;
  data.sizeHigh = found.nFileSizeHigh;
  data.sizeLow = found.nFileSizeLow;
  // FILETIME counts 100 ns steps from 1601.
  const uint64_t ticks = (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                         found.ftLastWriteTime.dwLowDateTime;
  data.lastWrite = static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;
  data.name = found.cFileName;
  return true;
}

std::vector<ByteString> NamesIn(const ByteString& folder, const ByteString& prefix) {
  std::vector<ByteString> names;
  WIN32_FIND_DATAA found;
  const HANDLE handle = FindFirstFileA((folder + "\\" + prefix + "*").c_str(), &found);
  if (handle == INVALID_HANDLE_VALUE) return names;
  do {
    const ByteString name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(handle, &found));
  FindClose(handle);
  return names;
}

uint32_t FileAttributesOf(const ByteString& path) {
  return GetFileAttributesA(path.c_str());
}

int64_t SizeOfFile(const ByteString& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool ChangeFileAttributes(const ByteString& path, uint32_t attributes) {
  return SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

bool MakeDirectory(const ByteString& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool RemoveFile(const ByteString& path) {
  return DeleteFileA(path.c_str()) != FALSE;
}

bool RemoveEmptyDirectory(const ByteString& path) {
  return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool ReadFileExactly(const ByteString& path, char* buffer, std::size_t size) {
  if (size > std::numeric_limits<DWORD>::max()) return false;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  const BOOL ok = ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr);
  CloseHandle(file);
  return ok && got == size;
}

bool WriteNewFile(const ByteString& path, const char* data, std::size_t size) {
  if (size > std::numeric_limits<DWORD>::max()) return false;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  if (size > 0) {
    DWORD put = 0;
    ok = WriteFile(file, data, static_cast<DWORD>(size), &put, nullptr) && put == size;
  }
  CloseHandle(file);
  return ok;
}

ReadHandle OpenForReading(const ByteString& path) {
  // Kept open for the whole run, sharing reading only: while it is open,
  // nobody can write the file, rename it or put another in its place (the
  // setup checks its data once and reads it again later).
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return file == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<ReadHandle>(file);
}

int64_t SizeOfOpenFile(ReadHandle file) {
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(reinterpret_cast<HANDLE>(file), &size)) return -1;
  return size.QuadPart;
}

std::size_t ReadAt(ReadHandle file, uint64_t offset, char* buffer, std::size_t size) {
  if (!file || size == 0) return 0;
  if (size > std::numeric_limits<DWORD>::max()) size = std::numeric_limits<DWORD>::max();
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(file), buffer, static_cast<DWORD>(size), &got, &at)) return 0;
  return got;
}

void CloseReading(ReadHandle file) {
  if (file) CloseHandle(reinterpret_cast<HANDLE>(file));
}

// --- Changes made through the run's journal ---

namespace {

// SetFileInformationByHandle with FileRenameInfo (Vista and later, looked up
// at run time): the rename needs no second open of the file.
// FILE_RENAME_INFO and FileRenameInfo, which the headers declare only for Vista and later.
struct RenameInformation {
  BOOL replaceIfExists;
  HANDLE rootDirectory;
  DWORD fileNameLength;
  WCHAR fileName[1];
};
constexpr int kFileRenameInfo = 3;

bool RenameOpenFile(HANDLE file, const ByteString& target, bool replace = true) {
  using SetInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  static const auto setInformation = SystemCall<SetInformationFn>("kernel32.dll", "SetFileInformationByHandle");
  if (!setInformation) return false;
  const int length = MultiByteToWideChar(CP_ACP, 0, target.c_str(), static_cast<int>(target.size()), nullptr, 0);
  if (length <= 0) return false;
  std::vector<char> buffer(sizeof(RenameInformation) + static_cast<std::size_t>(length) * sizeof(WCHAR));
  auto* info = reinterpret_cast<RenameInformation*>(buffer.data());
  info->replaceIfExists = replace ? TRUE : FALSE;
  info->rootDirectory = nullptr;
  info->fileNameLength = static_cast<DWORD>(length * sizeof(WCHAR));
  MultiByteToWideChar(CP_ACP, 0, target.c_str(), static_cast<int>(target.size()), info->fileName, length);
  return setInformation(file, kFileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace

bool WriteThenPlace(const ByteString& temporary, const ByteString& target, const char* data, std::size_t size,
                    const std::function<bool()>& beforePlacing, WriteFailure* why) {
  if (why) *why = WriteFailure::Other;
  if (size > std::numeric_limits<DWORD>::max()) return false;
  const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = true;
  if (size > 0) {
    DWORD put = 0;
    written = WriteFile(file, data, static_cast<DWORD>(size), &put, nullptr) && put == size;
  }
  const DWORD error = written ? ERROR_SUCCESS : GetLastError();
  const bool allowed = written && (!beforePlacing || beforePlacing());
  bool placed = allowed && RenameOpenFile(file, target);
  written = CloseHandle(file) && written;
  // Where the handle cannot rename, the file is renamed by its name.
  if (allowed && written && !placed) placed = MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (placed && written) {
    if (why) *why = WriteFailure::None;
    return true;
  }
  DeleteFileA((placed ? target : temporary).c_str());
  if (why && (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)) *why = WriteFailure::DiskFull;
  return false;
}

bool WriteFileAsNew(const ByteString& path, const char* data, std::size_t size, WriteFailure* why) {
  if (why) *why = WriteFailure::Other;
  if (size > std::numeric_limits<DWORD>::max()) return false;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool written = size == 0 || (WriteFile(file, data, static_cast<DWORD>(size), &put, nullptr) && put == size);
  const DWORD error = written ? ERROR_SUCCESS : GetLastError();
  written = CloseHandle(file) && written;
  if (written) {
    if (why) *why = WriteFailure::None;
    return true;
  }
  DeleteFileA(path.c_str());
  if (why && (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)) *why = WriteFailure::DiskFull;
  return false;
}

bool RenameFile(const ByteString& from, const ByteString& to, bool replace) {
  return MoveFileExA(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0) != FALSE;
}

namespace {

// FILE_DISPOSITION_INFO and FileDispositionInfo (Vista and later).
constexpr int kFileDispositionInfo = 4;

bool DeleteOpenFile(HANDLE file) {
  using SetInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  static const auto setInformation = SystemCall<SetInformationFn>("kernel32.dll", "SetFileInformationByHandle");
  BOOL deleteFile = TRUE;
  return setInformation && setInformation(file, kFileDispositionInfo, &deleteFile, sizeof deleteFile) != FALSE;
}

// FILE_BASIC_INFO and FileBasicInfo (Vista and later). Times left at zero stay as they are.
bool SetAttributesOfOpenFile(HANDLE file, DWORD attributes) {
  struct BasicInformation {
    LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
    DWORD fileAttributes;
  };
  constexpr int kFileBasicInfo = 0;
  using SetInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  static const auto setInformation = SystemCall<SetInformationFn>("kernel32.dll", "SetFileInformationByHandle");
  BasicInformation info = {};
  // Zero would leave them unchanged; SetFileAttributes reads it as "normal".
  info.fileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  return setInformation && setInformation(file, kFileBasicInfo, &info, sizeof info) != FALSE;
}

// The object's path as the system resolved it ("\\?\" dropped); empty when
// the system cannot tell.
ByteString FinalPathOf(HANDLE file) {
  using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
  static const auto finalPath = SystemCall<FinalPathFn>("kernel32.dll", "GetFinalPathNameByHandleA");
  if (!finalPath) return ByteString();
  ByteString path(MAX_PATH, '\0');
  DWORD length = finalPath(file, &path[0], static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  if (length >= path.size()) {
    path.assign(length + 1, '\0');
    length = finalPath(file, &path[0], static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  }
  if (length == 0 || length >= path.size()) return ByteString();
  path.resize(length);
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
  if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

// The object's attributes through its handle (FileAttributeTagInfo, Vista
// and later). GetFileInformationByHandle asks the volume too, which costs a
// thousand times more, once for every folder on every guarded way.
bool AttributesOf(HANDLE file, DWORD& attributes) {
  struct AttributeTagInformation {
    DWORD fileAttributes;
    DWORD reparseTag;
  };
  constexpr int kFileAttributeTagInfo = 9;
  using GetInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  static const auto getInformation = SystemCall<GetInformationFn>("kernel32.dll", "GetFileInformationByHandleEx");
  AttributeTagInformation tag = {};
  if (getInformation && getInformation(file, kFileAttributeTagInfo, &tag, sizeof tag)) {
    attributes = tag.fileAttributes;
    return true;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(file, &info)) return false;
  attributes = info.dwFileAttributes;
  return true;
}

bool SamePath(const ByteString& a, const ByteString& b) {
  return a.size() == b.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                                b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The folder InHeldFolder holds while its change runs, with its expected
// final path: a guarded change directly inside it starts there instead of
// opening the whole way again, once for every file of a folder.
struct HeldWay {
  ByteString folder;
  ByteString expected;
};
thread_local const HeldWay* gHeldWay = nullptr;

// The handles of a guarded change: the folders on the way, held without
// sharing their deletion (nobody renames them meanwhile), and the object.
class GuardedPath {
public:
  ~GuardedPath() {
    for (HANDLE held : held_) CloseHandle(held);
  }
  // Opens the way from `trusted` to `path` and the object with `access`;
  // `holdObject` holds the object too (a folder that must stay where it is).
  GuardedChange Open(const ByteString& trusted, const ByteString& path, DWORD access, bool holdObject = false) {
    std::vector<ByteString> names, inHeld;
    if (!NamesBelow(trusted, path, names)) return GuardedChange::Refused;
    ByteString current;
    if (gHeldWay && !holdObject && NamesBelow(gHeldWay->folder, path, inHeld) && inHeld.size() == 1) {
      current = gHeldWay->folder;
      expected_ = gHeldWay->expected;
      names = inHeld;
    } else {
      current = trusted;
      while (!current.empty() && current.back() == '\\') current.pop_back();
      if (current.size() == 2 && current[1] == ':') current += '\\';  // a drive's root, not its current folder
      const HANDLE folder = OpenNoFollow(current, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
      if (folder == INVALID_HANDLE_VALUE) return GuardedChange::Failed;
      held_.push_back(folder);
      // The trusted folder's own final path (short names expanded) starts the expected one.
      expected_ = FinalPathOf(folder);
    }
    const bool finalPathsNamed = !expected_.empty();
    const auto add = [](ByteString& path, const ByteString& name) {
      if (path.empty() || path.back() != '\\') path += '\\';
      path += name;
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
      add(current, names[i]);
      add(expected_, names[i]);
      const bool last = i + 1 == names.size();
      const HANDLE next = last && !holdObject
                              ? OpenNoFollow(current, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)
                              : OpenNoFollow(current, last ? access : FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
      if (next == INVALID_HANDLE_VALUE) return GuardedChange::Failed;
      held_.push_back(next);
      DWORD attributes = 0;
      if (!AttributesOf(next, attributes)) return GuardedChange::Failed;
      if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return GuardedChange::Refused;
      if ((!last || holdObject) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return GuardedChange::Failed;
    }
    // Where the system names final paths, the object must be where the path says.
    const ByteString final = FinalPathOf(held_.back());
    if (finalPathsNamed && !final.empty() && !SamePath(final, expected_)) return GuardedChange::Refused;
    if (!finalPathsNamed) expected_.clear();
    return GuardedChange::Done;
  }
  HANDLE Object() const { return held_.back(); }
  // The object's final path as expected; empty where the system names none.
  const ByteString& Expected() const { return expected_; }

private:
  static HANDLE OpenNoFollow(const ByteString& path, DWORD access, DWORD share) {
    return CreateFileA(path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  std::vector<HANDLE> held_;
  ByteString expected_;
};

}  // namespace

GuardedChange RemoveBelow(const ByteString& trusted, const ByteString& path) {
  GuardedPath guarded;
  const GuardedChange opened = guarded.Open(trusted, path, DELETE);
  if (opened != GuardedChange::Done) return opened;
  return DeleteOpenFile(guarded.Object()) ? GuardedChange::Done : GuardedChange::Failed;
}

GuardedChange RenameBelow(const ByteString& trusted, const ByteString& from, const ByteString& to, bool replace) {
  const std::size_t slash = from.rfind('\\');
  if (slash == ByteString::npos || to.size() <= slash + 1 || !SamePath(from.substr(0, slash + 1), to.substr(0, slash + 1)) ||
      to.find('\\', slash + 1) != ByteString::npos)
    return GuardedChange::Refused;
  GuardedPath guarded;
  const GuardedChange opened = guarded.Open(trusted, from, DELETE);
  if (opened != GuardedChange::Done) return opened;
  return RenameOpenFile(guarded.Object(), to, replace) ? GuardedChange::Done : GuardedChange::Failed;
}

GuardedChange ChangeAttributesBelow(const ByteString& trusted, const ByteString& path, uint32_t attributes) {
  GuardedPath guarded;
  const GuardedChange opened = guarded.Open(trusted, path, FILE_WRITE_ATTRIBUTES);
  if (opened != GuardedChange::Done) return opened;
  return SetAttributesOfOpenFile(guarded.Object(), attributes) ? GuardedChange::Done : GuardedChange::Failed;
}

GuardedChange InHeldFolder(const ByteString& trusted, const ByteString& folder, const std::function<bool()>& change) {
  GuardedPath guarded;
  const GuardedChange opened = guarded.Open(trusted, folder, FILE_READ_ATTRIBUTES, true);
  if (opened != GuardedChange::Done) return opened;
  ByteString held = folder;
  while (!held.empty() && held.back() == '\\') held.pop_back();
  const HeldWay way = {held, guarded.Expected()};
  struct Restore {
    const HeldWay* outer;
    ~Restore() { gHeldWay = outer; }
  } restore = {gHeldWay};
  gHeldWay = &way;
  return change() ? GuardedChange::Done : GuardedChange::Failed;
}

bool FreeSpaceAt(const ByteString& path, uint64_t& bytes) {
  // The folder may not exist yet: ask the nearest one above it that does.
  ByteString folder = path;
  for (;;) {
    ULARGE_INTEGER available;
    if (GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) {
      bytes = available.QuadPart;
      return true;
    }
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    const std::size_t slash = folder.find_last_of('\\');
    if (slash == ByteString::npos || slash < 2) return false;
    folder.resize(slash + 1);
  }
}

bool FileIsHeld(const ByteString& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool RemoveAtRestart(const ByteString& path) {
  return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

AppendHandle CreateAppendFile(const ByteString& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<AppendHandle>(file);
}

bool AppendBytes(AppendHandle file, const char* data, std::size_t size) {
  if (!file || size > std::numeric_limits<DWORD>::max()) return false;
  DWORD put = 0;
  return WriteFile(reinterpret_cast<HANDLE>(file), data, static_cast<DWORD>(size), &put, nullptr) && put == size;
}

void CloseAppend(AppendHandle file) {
  if (file) CloseHandle(reinterpret_cast<HANDLE>(file));
}

}  // namespace platform
