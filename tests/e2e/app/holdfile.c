/* Holds a file open without sharing, as a running program holds its own
   files: "holdfile FILE SIGNAL" opens FILE, then writes "held" to SIGNAL,
   and keeps FILE open until SIGNAL has been deleted. Exit code 1 when FILE cannot be
   opened. */
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (held == INVALID_HANDLE_VALUE) return 1;
  HANDLE signal = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (signal != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(signal, "held", 4, &written, NULL);
    CloseHandle(signal);
  }
  while (GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES) Sleep(50);
  CloseHandle(held);
  return 0;
}
