#include "app/AdminNamespace.h"

#include <sddl.h>

#include "platform/win32/ProcessAccount.h"
#include "platform/win32/SystemCalls.h"

namespace {

// The namespace's prefix; the boundary descriptor's name says whose it is.
const wchar_t* const kNamespace = L"QuillonSetup";
const char* const kNamespacePrefix = "QuillonSetup\\";
// Full access for the Administrators group and the system account, nothing
// inherited: others can open nothing in it, even by the right name.
const char* const kNamespaceAccess = "D:P(A;;GA;;;BA)(A;;GA;;;SY)";

const NamespaceCalls* gTestCalls = nullptr;

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

// The namespace bounded by `member` (a SID), whose objects only `access`
// lets anyone open.
bool CreateOrOpenNamespace(const NamespaceCalls& calls, PSID member, const char* access) {
  if (!calls.createBoundary || !calls.addSid || !calls.createNamespace || !calls.openNamespace) return false;
  HANDLE boundary = calls.createBoundary(kNamespace, 0);
  if (!boundary) return false;  // also where the call is only a stand-in
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  HANDLE space = nullptr;
  if (calls.addSid(&boundary, member) &&
      ConvertStringSecurityDescriptorToSecurityDescriptorA(access, SDDL_REVISION_1, &descriptor, nullptr)) {
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

bool CreateOrOpenAdministratorsNamespace(const NamespaceCalls& calls) {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof administrators;
  return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) &&
         CreateOrOpenNamespace(calls, administrators, kNamespaceAccess);
}

// Bounded by this process's own account, open to it and the system alone.
bool CreateOrOpenOwnAccountNamespace(const NamespaceCalls& calls) {
  const ProcessAccount self;
  const ByteString sidText = self.SidText();
  if (sidText.empty()) return false;
  const ByteString access = "D:P(A;;GA;;;" + sidText + ")(A;;GA;;;SY)";
  return CreateOrOpenNamespace(calls, self.Sid(), access.c_str());
}

// Each namespace is created or opened once per process.
struct HadNamespace {
  bool tried = false;
  bool had = false;
};
HadNamespace gAdministrators, gOwnAccount;

ByteString NameIn(HadNamespace& space, bool (*createOrOpen)(const NamespaceCalls&), const ByteString& name) {
  if (!space.tried) {
    space.tried = true;
    space.had = createOrOpen(gTestCalls ? *gTestCalls : SystemCalls());
  }
  return space.had ? kNamespacePrefix + name : ByteString();
}

}  // namespace

ByteString AdministratorsOnlyName(const ByteString& name) {
  return NameIn(gAdministrators, CreateOrOpenAdministratorsNamespace, name);
}

ByteString OwnAccountOnlyName(const ByteString& name) {
  return NameIn(gOwnAccount, CreateOrOpenOwnAccountNamespace, name);
}

void SetNamespaceCallsForTests(const NamespaceCalls* calls) {
  gTestCalls = calls;
  gAdministrators = HadNamespace();
  gOwnAccount = HadNamespace();
}
