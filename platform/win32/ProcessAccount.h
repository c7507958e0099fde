#pragma once
// The account this process runs as: its token's user, read once.
#include <windows.h>
#include <sddl.h>

#include "base/Text.h"

class ProcessAccount {
 public:
  ProcessAccount() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    known_ = GetTokenInformation(token, TokenUser, &self_, sizeof self_, &size) != FALSE;
    CloseHandle(token);
  }

  // Null when the token could not be read.
  PSID Sid() const { return known_ ? self_.user.User.Sid : nullptr; }

  // "S-1-5-…"; empty when unknown.
  ByteString SidText() const {
    char* text = nullptr;
    if (!Sid() || !ConvertSidToStringSidA(Sid(), &text)) return ByteString();
    ByteString sidText(text);
    LocalFree(text);
    return sidText;
  }

 private:
  union {
    TOKEN_USER user;
    char bytes[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  } self_ = {};
  bool known_ = false;
};
