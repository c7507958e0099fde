#pragma once
// Opening the data folder to all users: full access for the built-in users
// group (by its SID), inherited by subfolders and files.
#include "base/Text.h"

bool GrantFolderAccess(const ByteString& folder);
bool SetFolderAccess(const ByteString& folder, const ByteString& trustee);
