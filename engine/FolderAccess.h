#pragma once
// Opening folders to all users: full access for the users group, inherited by
// subfolders and files.
#include "base/Text.h"

bool GrantFolderAccess(const ByteString& folder);
bool SetFolderAccess(const ByteString& folder, const ByteString& trustee);
