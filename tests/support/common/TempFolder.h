#pragma once
// Test helpers shared by native and Windows test programs: a throw-away
// folder and whole-file reading and writing with the standard library (so
// that checks do not go through the code under test).
#include "base/Text.h"

namespace testsupport {

// A fresh folder below the system's temporary folder, removed with all its
// contents when the object goes away.
class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path in the host's own spelling, without trailing separator.
  const ByteString& Path() const { return path_; }
  // Path() + separator + name.
  ByteString operator/(const ByteString& name) const;

private:
  ByteString path_;
};

bool FileExistsOnHost(const ByteString& path);
bool FolderExistsOnHost(const ByteString& path);
// The file's bytes; empty when it cannot be read.
ByteString ReadHostFile(const ByteString& path);
bool WriteHostFile(const ByteString& path, const ByteString& bytes);
bool MakeHostFolders(const ByteString& path);

}  // namespace testsupport
