#include "WingetManifest.h"

#include <exception>
#include <filesystem>
#include <ostream>
#include <vector>

#include "CommaText.h"
#include "FileUtil.h"
#include "package/Sha256.h"
#include "base/Encodings.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"

namespace setuppack {

namespace {

constexpr const char* kManifestVersion = "1.6.0";
// The setup's texts are German; the locale of the default description.
constexpr const char* kLocale = "de-DE";

// The setup's exit codes (README, "Unattended install and uninstall") as the
// package manager names them. A code stands in one list only: winget refuses
// a manifest that names a code both as a success and as an expected return
// code. 3010 is "rebootRequiredToFinish", which winget counts as installed
// with a restart pending, so it is not among the success codes (those would
// hide the pending restart).
struct ReturnCode {
  int code;
  const char* response;
};
const ReturnCode kReturnCodes[] = {
    {1, "invalidParameter"},  // folder not allowed, unknown switch
    {2, "contactSupport"},    // the install failed; the log says why
    {3, "downgrade"},         // a newer version is installed
    {4, "installInProgress"}, // another setup or uninstaller is running
    {5, "diskFull"},          // too little room, checked before the first change
    {6, "fileInUse"},         // files to be replaced are held
    {7, "cancelledByUser"},   // the administrator rights were refused
    {8, "missingDependency"},  // an update, and its base version is not installed
    {3010, "rebootRequiredToFinish"},  // done; held files go at the next restart
};

// A YAML scalar in single quotes: nothing in it is read as a number, a
// date or a flow sign.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// The script's texts are ANSI (Windows-1252); manifests are UTF-8.
std::string Utf8Of(const std::string& ansi) {
  WideString wide;
  AppendCodePageToWide(ansi.data(), static_cast<int32_t>(ansi.size()), 1252, wide);
  std::string utf8;
  for (char16_t c : wide) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {  // Windows-1252 has no character beyond the basic plane
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

struct ScriptFacts {
  std::string version, product, publisher;
};

// The version from the script's path line; the product name and publisher
// from its uninst line, as the setup writes them into the uninstall entry.
bool ReadScriptFacts(const std::string& package, ScriptFacts& facts, std::string& error) {
  std::size_t markerLength = 0;
  const std::size_t position = FindSectionMarker(kSectionBeginningMark, package, markerLength);
  std::string_view payload;
  if (position == 0 || !ReadSectionIn(kSectionSetupCmd, std::string_view(package).substr(position - 1), payload) ||
      payload.empty()) {
    error = "the package carries no script";
    return false;
  }
  std::string script;
  try {
    script = DecompressBytes(payload);
  } catch (const std::exception& failure) {
    error = std::string("the script does not decompress: ") + failure.what();
    return false;
  }
  for (const std::string& line : SplitLines(script)) {
    std::vector<std::string> items;
    if (!SplitCommaText(line, items)) continue;
    const std::string action = ValueOf(items, "action");
    if (SameAsciiText(action, "path") && !ValueOf(items, "Version").empty()) facts.version = Utf8Of(ValueOf(items, "Version"));
    if (SameAsciiText(action, "uninst")) {
      facts.product = Utf8Of(ValueOf(items, "name"));
      facts.publisher = Utf8Of(ValueOf(items, "Publisher"));
    }
  }
  if (facts.version.empty()) {
    error = "the script's path line gives no Version";
    return false;
  }
  return true;
}

std::string Header(const std::string& identifier, const std::string& version) {
  return "# Written by setuppack manifest\n"
         "PackageIdentifier: " + Quoted(identifier) + "\n"
         "PackageVersion: " + Quoted(version) + "\n";
}

std::string Footer(const char* type) {
  return std::string("ManifestType: ") + type + "\nManifestVersion: " + kManifestVersion + "\n";
}

std::string InstallerManifest(const ManifestRequest& request, const ScriptFacts& facts, const std::string& sha256,
                              const std::string& publisher, const std::string& product) {
  std::string text = Header(request.identifier, facts.version);
  text += "InstallerType: exe\n"
          "InstallModes:\n- interactive\n- silent\n- silentWithProgress\n"
          "InstallerSwitches:\n"
          "  Silent: '/S'\n"
          "  SilentWithProgress: '/PASSIVE'\n"
          "  InstallLocation: '/D=<INSTALLPATH>'\n"
          "  Log: '/LOG=<LOGPATH>'\n"
          "UpgradeBehavior: install\n"
          "ExpectedReturnCodes:\n";
  for (const ReturnCode& code : kReturnCodes)
    text += "- InstallerReturnCode: " + std::to_string(code.code) + "\n  ReturnResponse: " + code.response + "\n";
  // The entry's DisplayName adds the install date to the product name
  // ("Quillon (Installation 09.12.2026)"); the product name is the part
  // that is the same on every machine.
  text += "AppsAndFeaturesEntries:\n"
          "- DisplayName: " + Quoted(product) + "\n"
          "  Publisher: " + Quoted(publisher) + "\n"
          "  DisplayVersion: " + Quoted(facts.version) + "\n"
          "  InstallerType: exe\n";
  text += "Installers:\n";
  for (const bool perUser : {false, true}) {
    text += "- Architecture: x86\n"
            "  Scope: " + std::string(perUser ? "user" : "machine") + "\n"
            "  InstallerUrl: " + Quoted(request.url) + "\n"
            "  InstallerSha256: " + sha256 + "\n";
    // For all users the setup asks for the rights itself; for one user it
    // needs none.
    text += perUser ? "  ElevationRequirement: elevationProhibited\n"
                      "  InstallerSwitches:\n    Custom: '/CURRENTUSER'\n"
                    : "  ElevationRequirement: elevatesSelf\n"
                      "  InstallerSwitches:\n    Custom: '/ALLUSERS'\n";
  }
  return text + Footer("installer");
}

std::string LocaleManifest(const ManifestRequest& request, const ScriptFacts& facts, const std::string& publisher,
                           const std::string& product) {
  return Header(request.identifier, facts.version) + "PackageLocale: " + kLocale + "\n" +
         "Publisher: " + Quoted(publisher) + "\n" + "PackageName: " + Quoted(product) + "\n" +
         "License: " + Quoted(request.license) + "\n" + "ShortDescription: " + Quoted(product + " f\xC3\xBCr Windows") +
         "\n" + Footer("defaultLocale");
}

}  // namespace

bool WriteWingetManifests(const ManifestRequest& request, std::ostream& out, std::string& error) {
  const std::size_t dot = request.identifier.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 >= request.identifier.size() ||
      request.identifier.find_first_of(" \t\\/:") != std::string::npos) {
    error = "--id must be Publisher.Product, not " + request.identifier;
    return false;
  }
  std::string package;
  const ReadResult read = ReadFileBytes(request.packagePath, package);
  if (read != ReadResult::kOk) {
    error = DescribeReadFailure(read, request.packagePath);
    return false;
  }
  std::size_t markerLength = 0;
  if (FindSectionMarker(kSectionSetupDlt, package, markerLength) != 0) {
    error = request.packagePath + " is an update: it installs only over the version it was made from, and winget "
            "installs a version on any machine; give winget the full package";
    return false;
  }
  ScriptFacts facts;
  if (!ReadScriptFacts(package, facts, error)) return false;
  const std::string product = facts.product.empty() ? request.identifier.substr(dot + 1) : facts.product;
  const std::string publisher = facts.publisher.empty() ? request.identifier.substr(0, dot) : facts.publisher;
  const std::string sha256 = Sha256Hex(package);

  std::error_code ignored;
  std::filesystem::create_directories(request.outputFolder, ignored);
  const std::filesystem::path folder(request.outputFolder);
  const std::vector<std::pair<std::string, std::string>> files = {
      {request.identifier + ".yaml",
       Header(request.identifier, facts.version) + "DefaultLocale: " + kLocale + "\n" + Footer("version")},
      {request.identifier + ".installer.yaml", InstallerManifest(request, facts, sha256, publisher, product)},
      {request.identifier + ".locale." + kLocale + ".yaml", LocaleManifest(request, facts, publisher, product)},
  };
  for (const auto& [name, text] : files) {
    const std::string path = (folder / name).string();
    if (!WriteFileBytes(path, text)) {
      error = "cannot write " + path;
      return false;
    }
    out << path << "\n";
  }
  return true;
}

}  // namespace setuppack
