/* holdfile FILE READY: holds FILE open without sharing it, as a running
 * program holds its own files, and then writes READY; it waits until it is
 * ended from outside. */
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (held == INVALID_HANDLE_VALUE) return 1;
  HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  Sleep(INFINITE);
  return 0;
}
