#include "engine/ShellActions.h"

#include "base/ByteStringList.h"
#include "engine/EngineErrors.h"
#include "engine/EngineValues.h"
#include "engine/FileWriting.h"
#include "engine/InstalledFiles.h"
#include "engine/PathVariables.h"
#include "engine/ProgramStart.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Shell.h"
#include "platform/Text.h"

namespace {

constexpr int kShowNormal = 5;  // SW_SHOW
constexpr uint32_t kDesktopIniAttributes =
    platform::kAttrNormal | platform::kAttrSystem | platform::kAttrHidden;  // 0x86

// Everything up to and including the last backslash; empty when there is none.
ByteString UpToLastBackslash(const ByteString& path) {
  const std::size_t slash = path.find_last_of('\\');
  return slash == ByteString::npos ? ByteString() : path.substr(0, slash + 1);
}

bool EndsWithLnk(const ByteString& name) {
  if (name.size() < 4) return false;
  ByteString tail = name.substr(name.size() - 4);
  for (char& c : tail)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return tail == ".lnk";
}

WideString ToWide(const ByteString& text) {
  if (text.empty()) return WideString();
  const int size = static_cast<int>(text.size());
  const int needed = platform::MultiByteToWide(platform::kCpAcp, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) return WideString(text.begin(), text.end());  // ASCII-only fallback
  WideString wide(static_cast<std::size_t>(needed), u'\0');
  platform::MultiByteToWide(platform::kCpAcp, 0, text.data(), size, &wide[0], needed);
  return wide;
}

}  // namespace

bool IconAction(const CommandItems& items) {
  ByteString link = CommandValue(items, "lnk");
  // The user's choice is read from the unexpanded text: "*Desktop*" anywhere.
  if (!DesktopLinks && link.find("*Desktop*") != ByteString::npos) return true;
  ByteString target = CommandValue(items, "file");
  ExpandPathVariables(link);
  ExpandPathVariables(target);
  const ByteString folder = UpToLastBackslash(link);
  CreateShellLink(target, CommandValue(items, "param"), folder, true, link.substr(folder.size()));
  return true;
}

void CreateShellLink(const ByteString& target, const ByteString& arguments,
                     const ByteString& linkFolder, bool allUsers, const ByteString& linkName) {
  std::unique_ptr<platform::ShellLink> link = platform::CreateShellLinkObject();
  if (!link) throw EShellLinkError("The shell link object (IShellLinkA, IPersistFile) is not available");
  link->SetArguments(arguments);
  link->SetPath(target);
  link->SetWorkingDirectory(UpToLastBackslash(target));

  ByteString folder = linkFolder;
  // The administrator's own desktop or start menu stands for everybody's.
  static const ByteString kAdministrator = "\\Administrator\\";
  const std::size_t admin = folder.find(kAdministrator);
  if (allUsers && admin != ByteString::npos) folder.replace(admin, 14, "\\All Users");

  EnsureFolder(folder);
  ByteString linkPath = folder + "\\" + linkName;
  if (!EndsWithLnk(linkName)) linkPath += ".lnk";
  // Recorded before the save, so the uninstaller tries it even if the save fails.
  WrittenFiles->Add(linkPath);
  // Saved under a temporary name and put in place complete, as every file.
  const ByteString temporary = JournalTemporaryName(linkPath);
  if (temporary.empty()) return;
  link->Save(ToWide(temporary));
  JournalPlaceFile(temporary, linkPath);
}

bool DesktopIniAction(const CommandItems& items) {
  ByteString folder = CommandValue(items, "path");
  ByteString icon = CommandValue(items, "icon");
  ExpandPathVariables(folder);
  ExpandPathVariables(icon);
  if (!icon.empty() && IsExistingFile(icon)) WriteDesktopIni(folder, icon);
  return true;
}

void WriteDesktopIni(const ByteString& folder, const ByteString& iconFile) {
  if (!platform::HasPathMakeSystemFolder()) return;
  const ByteString fileName = folder + "Desktop.ini";
  const ByteString contents = "[.ShellClassInfo]\r\nIconFile=" + iconFile + "\r\nIconIndex=0\r\n";
  if (!JournalWriteFile(fileName, contents)) {
    // An earlier installation's file (hidden and system) is not replaced,
    // but listed all the same: the uninstall removes it with the folder.
    if (IsExistingFile(fileName)) WrittenFiles->Add(fileName);
    return;
  }
  WrittenFiles->Add(fileName);
  JournalSetAttributes(fileName, kDesktopIniAttributes);
  if (!folder.empty()) JournalMakeSystemFolder(folder.substr(0, folder.size() - 1));
}

bool ExecAction(const CommandItems& items) {
  ExecParams = CommandValue(items, "params");
  return true;
}

bool RunProgram() {
  if (Exec.empty()) return false;
  StartInstalledProgram(Exec, ExecParams, kShowNormal);
  return true;
}
