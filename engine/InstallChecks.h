#pragma once
// What a full run checks before its first change: room for what it will
// write on every target volume, and the files it would replace that another
// program holds open.
#include <cstdint>
#include <vector>
#include "base/Text.h"

struct SpaceShortage {
  ByteString volume;    // "D:\"
  uint64_t needed = 0;  // bytes the run will write there
  uint64_t free = 0;    // bytes free there
};

struct InstallCheckResult {
  std::vector<SpaceShortage> shortages;
  std::vector<ByteString> heldFiles;
  // An update over anything but its base: what differs (engine/UpdateBase.h).
  ByteString notOverBase;
};

// Runs the script's "path" lines with the chosen folders (they change
// nothing on the machine) and looks at the target of every "save" line, the
// uninstaller and the shortcuts. Call it right before RunSetupScript(false).
InstallCheckResult CheckBeforeInstall();
// "D:\: 64.0 MB needed, 20.0 MB free" and the like, for logs.
ByteString DescribeShortage(const SpaceShortage& shortage);
// Megabytes with one decimal ("20.5").
ByteString MegabytesText(uint64_t bytes);
