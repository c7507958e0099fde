#include "app/AdminNamespace.h"

#include <sddl.h>

#include "platform/win32/SystemCalls.h"

namespace {

// The namespace's prefix; the boundary descriptor's name says whose it is.
const wchar_t* const kNamespace = L"QuillonSetup";
const char* const kNamespacePrefix = "QuillonSetup\\";
// Full access for the Administrators group and the system account, nothing
// inherited: others can open nothing in it, even by the right name.
const char* const kNamespaceAccess = "D:P(A;;GA;;;BA)(A;;GA;;;SY)";

const NamespaceCalls* gTestCalls = nullptr;
bool gTried = false;
bool gHad = false;

NamespaceCalls SystemCalls() {
  NamespaceCalls calls;
  // The wide forms: some systems that have the calls lack the ANSI ones.
  calls.createBoundary = SystemCall<decltype(calls.createBoundary)>("kernel32.dll", "CreateBoundaryDescriptorW");
  calls.addSid = SystemCall<decltype(calls.addSid)>("kernel32.dll", "AddSIDToBoundaryDescriptor");
  calls.createNamespace = SystemCall<decltype(calls.createNamespace)>("kernel32.dll", "CreatePrivateNamespaceW");
  calls.openNamespace = SystemCall<decltype(calls.openNamespace)>("kernel32.dll", "OpenPrivateNamespaceW");
  calls.deleteBoundary = SystemCall<decltype(calls.deleteBoundary)>("kernel32.dll", "DeleteBoundaryDescriptor");
  return calls;
}

bool CreateOrOpenNamespace(const NamespaceCalls& calls) {
  if (!calls.createBoundary || !calls.addSid || !calls.createNamespace || !calls.openNamespace) return false;
  HANDLE boundary = calls.createBoundary(kNamespace, 0);
  if (!boundary) return false;  // also where the call is only a stand-in
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof administrators;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  HANDLE space = nullptr;
  if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) &&
      calls.addSid(&boundary, administrators) &&
      ConvertStringSecurityDescriptorToSecurityDescriptorA(kNamespaceAccess, SDDL_REVISION_1, &descriptor, nullptr)) {
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    // Another run may hold it already, or end between the two calls: try twice.
    for (int attempt = 0; attempt < 2 && !space; ++attempt) {
      space = calls.createNamespace(&attributes, boundary, kNamespace);
      if (!space && GetLastError() == ERROR_ALREADY_EXISTS) space = calls.openNamespace(boundary, kNamespace);
    }
    LocalFree(descriptor);
  }
  if (calls.deleteBoundary) calls.deleteBoundary(boundary);
  // The namespace handle stays open until the process ends: while any run
  // holds one, the others open the same namespace.
  return space != nullptr;
}

}  // namespace

ByteString AdministratorsOnlyName(const ByteString& name) {
  if (!gTried) {
    gTried = true;
    gHad = CreateOrOpenNamespace(gTestCalls ? *gTestCalls : SystemCalls());
  }
  return gHad ? kNamespacePrefix + name : ByteString();
}

void SetNamespaceCallsForTests(const NamespaceCalls* calls) {
  gTestCalls = calls;
  gTried = false;
  gHad = false;
}
