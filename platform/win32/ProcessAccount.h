#pragma once
// The process's token, and the account this process runs as: its token's
// user, read once.
#include <windows.h>
#include <sddl.h>

#include "base/Text.h"

// One fixed-size piece of `token`'s information; false when unknown.
template <typename T>
bool ReadTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, T& value) {
  DWORD size = 0;
  return token && GetTokenInformation(token, kind, &value, sizeof value, &size) != FALSE;
}

// The process's own token, opened for queries and closed with the object.
class ProcessToken {
 public:
  ProcessToken() {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token_)) token_ = nullptr;
  }
  ~ProcessToken() {
    if (token_) CloseHandle(token_);
  }
  ProcessToken(const ProcessToken&) = delete;
  ProcessToken& operator=(const ProcessToken&) = delete;

  // Null when the token could not be opened.
  HANDLE Handle() const { return token_; }
  // One fixed-size piece of the token's information; false when unknown.
  template <typename T>
  bool Read(TOKEN_INFORMATION_CLASS kind, T& value) const {
    return ReadTokenInformation(token_, kind, value);
  }

 private:
  HANDLE token_ = nullptr;
};

class ProcessAccount {
 public:
  ProcessAccount() { known_ = ProcessToken().Read(TokenUser, self_); }

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
