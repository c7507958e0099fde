#pragma once
// The manifests a package manager (winget) needs to install a package:
// the version, installer and default-locale files of one manifest set.
#include <iosfwd>
#include <string>

namespace setuppack {

struct ManifestRequest {
  std::string packagePath;  // the Setup.exe the manifests describe
  std::string identifier;   // Publisher.Product
  std::string url;          // where the package manager downloads it
  std::string outputFolder;
  std::string license = "Proprietary";
};

// Writes <identifier>.yaml, <identifier>.installer.yaml and
// <identifier>.locale.<locale>.yaml into the output folder; their names go
// to `out`. False with a message for a package without a script, a script
// without a version, or an identifier that is not Publisher.Product.
bool WriteWingetManifests(const ManifestRequest& request, std::ostream& out, std::string& error);

}  // namespace setuppack
