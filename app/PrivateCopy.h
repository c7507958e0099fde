#pragma once
// A copy of a program that an elevated run starts from the temporary folder
// (the uninstaller's copy that removes the uninstaller). The temporary
// folder is shared ground (for the system account it is C:\Windows\Temp,
// where every user creates files): the copy goes to a new folder of its own
// with a random name and an access list for the system account, the
// Administrators group and the running user alone; the file is created new
// from the bytes in memory and held open, unchangeable, until it runs.
#include <string_view>

#include "base/Text.h"
#include "platform/Files.h"

extern const char* const kPrivateCopyFolderPrefix;  // "QuillonUninstall-"

class PrivateProgramCopy {
public:
  PrivateProgramCopy() = default;
  ~PrivateProgramCopy();  // closes the file's handle; the copy stays
  PrivateProgramCopy(const PrivateProgramCopy&) = delete;
  PrivateProgramCopy& operator=(const PrivateProgramCopy&) = delete;

  // Makes the folder (refused when the name exists) and in it `fileName`
  // with the bytes, then holds the file open sharing reading only and checks
  // that it holds exactly the bytes. False, leaving nothing behind, when a
  // step fails.
  bool Create(const ByteString& fileName, std::string_view bytes);
  // Starts the copy (the file as application name, inheritable handles
  // inherited, no window) with the system folder as its current folder; the
  // file's handle is closed once it runs. False when it did not start.
  bool Start(const ByteString& commandLine);
  // Removes the copy and its folder (after a failed start).
  void Remove();

  const ByteString& Folder() const { return folder_; }
  const ByteString& File() const { return file_; }

private:
  void Release();

  ByteString folder_;
  ByteString file_;
  platform::ReadHandle held_ = 0;
};

// The access list the copy's folder gets, in the system's text form (SDDL):
// protected from inheritance, full access for the three, inherited by the
// file. Empty when the running user's account cannot be read.
ByteString PrivateFolderAccess();
// The temporary folder (GetTempPath2A where the system has it: for the
// system account a folder of its own), with its trailing backslash; empty
// when there is none.
ByteString TemporaryFolder();
