#include "tests/support/fakes/FakeShell.h"

#include <map>
#include "platform/Files.h"
#include "platform/Shell.h"

namespace fakes {
namespace {

struct ShellState {
  std::map<int, ByteString> folders;
  std::uintptr_t lastOwner = 0;
  bool creationFails = false;
  bool writeLinkFiles = true;
  bool systemFolderPresent = true;
  std::vector<RecordedShellLink> links;
  std::vector<ByteString> systemFolders;
  ByteString userProgramFiles;
};

ShellState& State() {
  static ShellState state;
  return state;
}

class FakeLink : public platform::ShellLink {
public:
  explicit FakeLink(std::size_t index) : index_(index) {}
  void SetArguments(const ByteString& args) override { Link().arguments = args; }
  void SetPath(const ByteString& target) override { Link().target = target; }
  void SetWorkingDirectory(const ByteString& folder) override { Link().workingFolder = folder; }
  void Save(const WideString& linkPath) override {
    Link().savedPath = linkPath;
    Link().saved = true;
    if (State().writeLinkFiles) {
      const ByteString body = "link:" + Link().target;
      platform::WriteNewFile(NarrowPath(linkPath), body.data(), body.size());
    }
  }

private:
  RecordedShellLink& Link() { return State().links[index_]; }
  std::size_t index_;
};

}  // namespace

void ResetShell() { State() = ShellState(); }

void SetSpecialFolder(int csidl, const ByteString& path) { State().folders[csidl] = path; }
std::uintptr_t LastSpecialFolderOwner() { return State().lastOwner; }
void SetKnownUserProgramFiles(const ByteString& path) { State().userProgramFiles = path; }
void SetShellLinkCreationFails(bool fails) { State().creationFails = fails; }
const std::vector<RecordedShellLink>& ShellLinks() { return State().links; }
void SetShellLinkFilesWritten(bool written) { State().writeLinkFiles = written; }
void SetPathMakeSystemFolderPresent(bool present) { State().systemFolderPresent = present; }
const std::vector<ByteString>& SystemFolders() { return State().systemFolders; }

ByteString NarrowPath(const WideString& path) {
  ByteString narrow;
  for (char16_t c : path) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

}  // namespace fakes

namespace platform {

ByteString SpecialFolder(WindowHandle owner, int csidl) {
  fakes::State().lastOwner = owner;
  auto found = fakes::State().folders.find(csidl);
  return found == fakes::State().folders.end() ? ByteString() : found->second;
}

std::unique_ptr<ShellLink> CreateShellLinkObject() {
  if (fakes::State().creationFails) return nullptr;
  fakes::State().links.emplace_back();
  return std::make_unique<fakes::FakeLink>(fakes::State().links.size() - 1);
}

ByteString KnownUserProgramFilesFolder() { return fakes::State().userProgramFiles; }

bool HasPathMakeSystemFolder() { return fakes::State().systemFolderPresent; }

void MakeSystemFolder(const ByteString& folder) { fakes::State().systemFolders.push_back(folder); }

}  // namespace platform
