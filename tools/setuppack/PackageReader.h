#pragma once
// Reading a package or an uninstaller: its sections, its script or uninstall
// information, its packed files.
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace setuppack {

// Writes the sections with their sizes, then the lines of the script (or of
// the uninstall information). False with a message when the file carries no
// sections or a stream is damaged.
bool ListPackage(const std::string& path, std::ostream& out, std::string& error);

// Writes Setup.cmd (the script as text), Setup.lng, Uninst.txt (the uninstall
// information) as far as present, and every packed file below `folder`.
bool ExtractPackage(const std::string& path, const std::string& folder, std::ostream& out, std::string& error);

// A package taken apart: its stub part, language data, script and, by the
// index of the line that takes it, each file's data as stored (decompressed;
// an update's patch as it is).
struct PackageContents {
  std::string stub;
  std::string language;
  std::string script;
  std::vector<std::string> lines;
  std::map<std::size_t, std::string> files;
  bool update = false;  // its packed files are an update's
};
bool ReadPackageContents(const std::string& path, PackageContents& contents, std::string& error);

// Where a packed file's name lands below the extraction folder: path
// variables lose their stars ("*PgmPath*\a\b.txt" -> "PgmPath/a/b.txt"), a
// drive loses its colon ("C:\x" -> "C/x"). False for names that would leave
// the folder ("..") or are empty.
bool ExtractionPath(const std::string& filename, std::string& relative);

}  // namespace setuppack
