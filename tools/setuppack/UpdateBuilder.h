#pragma once
// Building an update: a package that turns an installation of one version
// (the base) into what the next version's full package installs, carrying
// only what changed. The stub, language data and script are the next
// version's; each file its script saves is, against the file the base's
// script saves to the same target:
// - unchanged: an "action=patch" line without data (PatchLen=0);
// - changed: an "action=patch" line with a binary patch (package/BinaryPatch.h);
// - new, spared when it exists (saveifnotexists), or where a patch is not
//   smaller than the file compressed: the "save" line, the file as it is.
// Patch lines state the base file's length and SHA-256 and the new file's.
// The path line gains "BaseVersion=" (the base's Version=); the data is
// "Section:Setup.dlt", laid out as "Section:Setup.zst".
#include <string>

namespace setuppack {

struct UpdateInputs {
  std::string basePath;
  std::string nextPath;
  unsigned threads = 1;  // files are diffed on this many threads; the bytes are the same for any number
  bool progress = false;  // a progress line on a terminal
};

bool BuildUpdate(const UpdateInputs& inputs, std::string& package, std::string& error);

}  // namespace setuppack
