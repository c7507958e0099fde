#include "app/RunningMark.h"

#include <windows.h>

#include "app/AdminNamespace.h"
#include "base/Text.h"
#include "platform/Process.h"

namespace {

// Seen by runs in every session (the system account of a deployment tool,
// another user): in the administrators' namespace, else in the global one.
const char* const kSetupMutexLeaf = "SetupRunning";
const char* const kSetupMutexName = "Global\\QuillonSetupRunning";
const char* const kSetupMutexSessionName = "Local\\QuillonSetupRunning";

HANDLE gSetupMark = nullptr;

}  // namespace

bool ClaimSetupInstance() {
  // In the administrators' own namespace no standard user can take the mark
  // first and so keep every setup from running; a run without their rights
  // takes it in a namespace of its own account (else its session's), where
  // no other user can. A system without private namespaces uses the global
  // name for the administrators. The handle stays open until the process
  // ends (or hands the run over to its elevated copy).
  ByteString name = AdministratorsOnlyName(kSetupMutexLeaf);
  if (name.empty() && !platform::HasAdministratorRights()) {
    name = OwnAccountOnlyName(kSetupMutexLeaf);
    if (name.empty()) name = kSetupMutexSessionName;
  }
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.empty() ? kSetupMutexName : name.c_str());
  const DWORD error = GetLastError();
  if (mutex) {
    gSetupMark = mutex;
    return error != ERROR_ALREADY_EXISTS;
  }
  // Access denied: another account's setup holds it. Any other failure
  // leaves the window check alone to decide.
  return error != ERROR_ACCESS_DENIED;
}

void ReleaseSetupInstance() {
  if (gSetupMark) CloseHandle(gSetupMark);
  gSetupMark = nullptr;
}
