#pragma once
// Upgrades: the uninstall information of an earlier installation into the
// same place joins the new one, so that one uninstall removes what every
// version installed there.
#include "base/Text.h"

// The "Section:Uninst" of the uninstaller at `path`, uncompressed; empty when
// there is no such file, it carries no such section or the section is damaged.
ByteString EarlierUninstallInfo(const ByteString& path);
// `current` with the "file=" and "dir=" lines of `earlier` that it lacks
// (paths compared without regard to case). The name=value lines of `current`
// win. Files keep their writing order, the earlier ones first; folders come
// in descending order, a subfolder before its parent.
ByteString MergeUninstallInfo(const ByteString& current, const ByteString& earlier);
