// An elevated run on a shared machine: what others can do to the files and
// names it uses, against the real Win32 calls (logs at prepared paths:
// tests/unit/package, on both builds). Wine keeps no access lists
// here and has no private namespaces: the access list is read back where the
// system keeps it, and the namespace is checked through the calls it is given.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/AdminNamespace.h"
#include "app/PrivateCopy.h"
#include "app/RunningMark.h"
#include "platform/Files.h"
#include "platform/Security.h"
#include "tests/support/common/TempFolder.h"

namespace {

using testsupport::ReadHostFile;
using testsupport::TempFolder;
using testsupport::WriteHostFile;

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "?";
  const std::string result(text);
  LocalFree(text);
  return result;
}
std::string WellKnownSid(WELL_KNOWN_SID_TYPE type) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  return CreateWellKnownSid(type, nullptr, sid, &size) ? SidText(sid) : "?";
}
std::string CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "?";
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  const bool read = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
  CloseHandle(token);
  return read ? SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) : "?";
}

// An access list by what it grants, read through the system's own calls:
// "protected" when it takes nothing from its parent, then one
// "allow SID MASK FLAGS" an entry (any other entry as "other").
std::vector<std::string> Grants(PSECURITY_DESCRIPTOR descriptor) {
  std::vector<std::string> grants;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED))
    grants.push_back("protected");
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl) return grants;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      grants.push_back("other");
      continue;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    grants.push_back("allow " + SidText(&allowed->SidStart) + " " + std::to_string(allowed->Mask) + " " +
                     std::to_string(header->AceFlags));
  }
  return grants;
}
std::vector<std::string> GrantsOfText(const ByteString& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    return {"unreadable: " + sddl};
  std::vector<std::string> grants = Grants(descriptor);
  LocalFree(descriptor);
  return grants;
}
std::string Allow(const std::string& sid, DWORD mask, DWORD flags) {
  return "allow " + sid + " " + std::to_string(mask) + " " + std::to_string(flags);
}

// Whether another program could open the file for writing, or rename it.
bool OthersCanWrite(const ByteString& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}
bool OthersCanRename(const ByteString& path) {
  if (!MoveFileA(path.c_str(), (path + ".moved").c_str())) return false;
  MoveFileA((path + ".moved").c_str(), path.c_str());
  return true;
}

TEST(OwnFile, OneHandleSharesReadingOnlyAndDuplicatesServeOtherThreads) {
  TempFolder temp;
  const ByteString path = temp / "Setup.exe";
  ASSERT_TRUE(WriteHostFile(path, "MZ package"));
  const platform::ReadHandle file = platform::OpenForReading(path);
  ASSERT_NE(file, 0u);
  // Between the data check and the read-ahead nobody can change or swap it.
  EXPECT_FALSE(OthersCanWrite(path));
  EXPECT_FALSE(OthersCanRename(path));
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_EQ(ReadHostFile(path), "MZ package");  // readers are welcome

  const platform::ReadHandle copy = platform::DuplicateReading(file);
  ASSERT_NE(copy, 0u);
  platform::CloseReading(file);
  EXPECT_FALSE(OthersCanWrite(path));  // the duplicate holds the same open file
  char bytes[7] = {};
  EXPECT_EQ(platform::ReadAt(copy, 3, bytes, 7), 7u);
  EXPECT_EQ(ByteString(bytes, 7), "package");
  platform::CloseReading(copy);
  EXPECT_TRUE(OthersCanWrite(path));
}

// Wine accepts an access list but keeps only what the folder's Unix mode can
// express; reading it back gives its own default list.
bool AccessListsAreKept() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
}

ByteString FolderOf(const ByteString& path) { return path.substr(0, path.rfind('\\')); }

TEST(PrivateCopy, NewRandomFolderHeldFileStartedInTheSystemFolder) {
  const ByteString program = ReadHostFile(RECORD_ARGS_PATH);
  ASSERT_FALSE(program.empty());
  PrivateProgramCopy copy;
  ASSERT_TRUE(copy.Create("QuillonUninstall.exe", program));
  PrivateProgramCopy other;
  ASSERT_TRUE(other.Create("QuillonUninstall.exe", "MZ"));
  // Below the temporary folder, a name nobody can guess beforehand.
  EXPECT_EQ(FolderOf(copy.Folder()) + "\\", TemporaryFolder());
  EXPECT_EQ(copy.Folder().rfind(TemporaryFolder() + kPrivateCopyFolderPrefix, 0), 0u);
  EXPECT_EQ(copy.Folder().size(), TemporaryFolder().size() + std::strlen(kPrivateCopyFolderPrefix) + 16);
  EXPECT_NE(copy.Folder(), other.Folder());
  EXPECT_EQ(copy.File(), copy.Folder() + "\\QuillonUninstall.exe");
  EXPECT_EQ(ReadHostFile(copy.File()), program);
  // Held until it runs: nobody writes, renames or deletes it meanwhile.
  EXPECT_FALSE(OthersCanWrite(copy.File()));
  EXPECT_FALSE(OthersCanRename(copy.File()));
  EXPECT_FALSE(DeleteFileA(copy.File().c_str()));

  // The folder's access list: full access for the system account, the
  // administrators and this user only, for the folder and what is in it,
  // nothing inherited from the temporary folder.
  constexpr DWORD kInherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  const std::vector<std::string> wanted = {"protected",
                                           Allow(WellKnownSid(WinLocalSystemSid), FILE_ALL_ACCESS, kInherited),
                                           Allow(WellKnownSid(WinBuiltinAdministratorsSid), FILE_ALL_ACCESS, kInherited),
                                           Allow(CurrentUserSid(), FILE_ALL_ACCESS, kInherited)};
  EXPECT_EQ(GrantsOfText(PrivateFolderAccess()), wanted);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (AccessListsAreKept() &&
      GetNamedSecurityInfoA(copy.Folder().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &dacl, nullptr, &descriptor) == ERROR_SUCCESS && dacl) {
    EXPECT_EQ(Grants(descriptor), wanted);
  } else {
    std::printf("note: this system keeps no folder access lists; the list set is checked as given only\n");
  }
  if (descriptor) LocalFree(descriptor);

  // Started by its file name, in the system folder, not the temporary one.
  TempFolder temp;
  const ByteString record = temp / "record.txt";
  SetEnvironmentVariableA("Q_RECORD_FILE", record.c_str());
  ASSERT_TRUE(copy.Start("\"" + copy.File() + "\" /removeuninstaller 0"));
  for (int i = 0; i < 100 && ReadHostFile(record).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, sizeof system);
  EXPECT_EQ(ReadHostFile(record),
            copy.File() + "\n\"" + copy.File() + "\" /removeuninstaller 0\n" + ByteString(system) + "\n");

  other.Remove();
  EXPECT_FALSE(testsupport::FolderExistsOnHost(other.Folder()));
  for (int i = 0; i < 50 && !DeleteFileA(copy.File().c_str()); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  copy.Remove();
}

// What the namespace calls were given.
struct SeenByNamespace {
  ByteString sid;
  std::vector<std::string> access;
  bool exists = false;  // the namespace was made by another run
  int opened = 0;
  bool boundaryFreed = false;
} gSeen;

HANDLE WINAPI FakeBoundary(LPCWSTR, ULONG) { return reinterpret_cast<HANDLE>(0x10); }
BOOL WINAPI FakeAddSid(HANDLE*, PSID sid) {
  char* text = nullptr;
  if (ConvertSidToStringSidA(sid, &text)) {
    gSeen.sid = text;
    LocalFree(text);
  }
  return TRUE;
}
HANDLE WINAPI FakeCreateNamespace(LPSECURITY_ATTRIBUTES attributes, LPVOID, LPCWSTR) {
  if (attributes && attributes->lpSecurityDescriptor) gSeen.access = Grants(attributes->lpSecurityDescriptor);
  if (!gSeen.exists) return reinterpret_cast<HANDLE>(0x20);
  SetLastError(ERROR_ALREADY_EXISTS);
  return nullptr;
}
HANDLE WINAPI FakeOpenNamespace(LPVOID, LPCWSTR) {
  ++gSeen.opened;
  return reinterpret_cast<HANDLE>(0x30);
}
VOID WINAPI FakeDeleteBoundary(HANDLE boundary) { gSeen.boundaryFreed = boundary == reinterpret_cast<HANDLE>(0x10); }

TEST(SetupMark, AdministratorsNamespaceAndItsBoundary) {
  const NamespaceCalls calls{FakeBoundary, FakeAddSid, FakeCreateNamespace, FakeOpenNamespace, FakeDeleteBoundary};
  SetNamespaceCallsForTests(&calls);
  EXPECT_EQ(AdministratorsOnlyName("SetupRunning"), "QuillonSetup\\SetupRunning");
  EXPECT_EQ(gSeen.sid, WellKnownSid(WinBuiltinAdministratorsSid));
  // Only the administrators and the system account get at the names in it.
  EXPECT_EQ(gSeen.access, (std::vector<std::string>{"protected",
                                                    Allow(WellKnownSid(WinBuiltinAdministratorsSid), GENERIC_ALL, 0),
                                                    Allow(WellKnownSid(WinLocalSystemSid), GENERIC_ALL, 0)}));
  EXPECT_EQ(gSeen.opened, 0);
  EXPECT_TRUE(gSeen.boundaryFreed);
  // Made by another run already: opened.
  gSeen = SeenByNamespace();
  gSeen.exists = true;
  SetNamespaceCallsForTests(&calls);
  EXPECT_EQ(AdministratorsOnlyName("SetupRunning"), "QuillonSetup\\SetupRunning");
  EXPECT_EQ(gSeen.opened, 1);
  // A run without administrator rights: bounded by its own account, open to
  // it and the system alone.
  gSeen = SeenByNamespace();
  EXPECT_EQ(OwnAccountOnlyName("SetupRunning"), "QuillonSetup\\SetupRunning");
  EXPECT_EQ(gSeen.sid.rfind("S-1-5-", 0), 0u);
  EXPECT_NE(gSeen.sid, "S-1-5-32-544");
  EXPECT_EQ(gSeen.access, (std::vector<std::string>{"protected", Allow(gSeen.sid, GENERIC_ALL, 0),
                                                    Allow(WellKnownSid(WinLocalSystemSid), GENERIC_ALL, 0)}));
  // A system without the calls (or a run outside the boundary): no name.
  const NamespaceCalls none;
  SetNamespaceCallsForTests(&none);
  EXPECT_EQ(AdministratorsOnlyName("SetupRunning"), "");
  EXPECT_EQ(OwnAccountOnlyName("SetupRunning"), "");
  SetNamespaceCallsForTests(nullptr);

  // The mark itself, in whichever namespace this system offers: one holder.
  EXPECT_TRUE(ClaimSetupInstance());
  EXPECT_FALSE(ClaimSetupInstance());
}

// The journal's folder counts only when no standard user can have made or
// changed it: a folder made private counts, one open to the users does not.
TEST(JournalFolder, OnlyAFolderOfTheAdministratorsAloneCounts) {
  testsupport::TempFolder temp;
  const ByteString own = temp.Path() + "\\own";
  ASSERT_TRUE(platform::MakePrivateFolder(own));
  const ByteString open = temp.Path() + "\\open";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BU)", SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  ASSERT_TRUE(CreateDirectoryA(open.c_str(), &attributes));
  LocalFree(descriptor);
  EXPECT_TRUE(platform::FolderIsAdministratorsOnly(own));
  if (AccessListsAreKept()) EXPECT_FALSE(platform::FolderIsAdministratorsOnly(open));
  else std::printf("note: this system keeps no folder access lists; an open folder is not told apart\n");
  EXPECT_FALSE(platform::FolderIsAdministratorsOnly(temp.Path() + "\\missing"));
}

}  // namespace
