#pragma once
// Reading a package or an uninstaller: its sections, its script or uninstall
// information, its packed files.
#include <ostream>
#include <string>

namespace setuppack {

// Writes the sections with their sizes, then the lines of the script (or of
// the uninstall information). False with a message when the file carries no
// sections or a stream is damaged.
bool ListPackage(const std::string& path, std::ostream& out, std::string& error);

// Writes Setup.cmd (the script as text), Setup.lng, Uninst.txt (the uninstall
// information) as far as present, and every packed file below `folder`.
bool ExtractPackage(const std::string& path, const std::string& folder, std::ostream& out, std::string& error);

// Where a packed file's name lands below the extraction folder: path
// variables lose their stars ("*PgmPath*\a\b.txt" -> "PgmPath/a/b.txt"), a
// drive loses its colon ("C:\x" -> "C/x"). False for names that would leave
// the folder ("..") or are empty.
bool ExtractionPath(const std::string& filename, std::string& relative);

}  // namespace setuppack
