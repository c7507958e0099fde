#pragma once
// Named objects that only administrators can create or open: they live in a
// private object namespace whose boundary is the Administrators group and
// whose access list grants that group and the system account alone, so a
// standard user can neither make the namespace nor put an object into it
// first. The namespace has no session in its boundary: runs in every
// session (a deployment tool's system account, other users) share it.
#include <windows.h>

#include "base/Text.h"

// The name to give an object in that namespace ("<namespace>\<name>"). The
// namespace is created or opened once per process and its handle kept until
// the process ends. Empty when it cannot be had: no private namespaces on
// this system, or a run outside the boundary (no administrator rights).
ByteString AdministratorsOnlyName(const ByteString& name);
// The same for a run without administrator rights: a namespace bounded by
// the process's own account and open to it and the system alone, so no
// other user can create its objects first.
ByteString OwnAccountOnlyName(const ByteString& name);

// The system calls behind it, replaceable by tests (which read back what the
// calls were given: the boundary's group, the namespace's access list).
struct NamespaceCalls {
  HANDLE(WINAPI* createBoundary)(LPCWSTR name, ULONG flags) = nullptr;
  BOOL(WINAPI* addSid)(HANDLE* boundary, PSID sid) = nullptr;
  HANDLE(WINAPI* createNamespace)(LPSECURITY_ATTRIBUTES attributes, LPVOID boundary, LPCWSTR prefix) = nullptr;
  HANDLE(WINAPI* openNamespace)(LPVOID boundary, LPCWSTR prefix) = nullptr;
  VOID(WINAPI* deleteBoundary)(HANDLE boundary) = nullptr;  // optional
};
// Tests only: use `calls` (null: the system's) and forget the namespace had.
void SetNamespaceCallsForTests(const NamespaceCalls* calls);
