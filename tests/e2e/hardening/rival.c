/* What another user's program tries against a running setup.
   rival write FILE   exit 0 when FILE opens for writing (and then changes its first byte)
   rival rename FILE  exit 0 when FILE can be renamed (it is renamed back)
   Either exits with 3 when the system refuses it because another program
   holds the file (sharing violation, access denied), 1 on any other failure
   (a missing file), so that a refusal is told from a rival that never got
   as far.
   Started as a planted uninstaller copy (first parameter "/removeuninstaller"),
   it leaves C:\e2e\planted-ran behind. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static int Failed(void) {
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? 3 : 1;
}

int main(int argc, char** argv) {
  if (argc >= 2 && strcmp(argv[1], "/removeuninstaller") == 0) {
    HANDLE mark = CreateFileA("C:\\e2e\\planted-ran", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    return 0;
  }
  if (argc == 3 && strcmp(argv[1], "write") == 0) {
    HANDLE file = CreateFileA(argv[2], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return Failed();
    DWORD put = 0;
    WriteFile(file, "X", 1, &put, NULL);
    CloseHandle(file);
    return 0;
  }
  if (argc == 3 && strcmp(argv[1], "rename") == 0) {
    char moved[MAX_PATH + 8];
    snprintf(moved, sizeof moved, "%s.x", argv[2]);
    if (!MoveFileA(argv[2], moved)) return Failed();
    MoveFileA(moved, argv[2]);
    return 0;
  }
  return 2;
}
