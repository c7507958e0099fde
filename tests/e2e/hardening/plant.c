/* A DLL planted beside a program under a system DLL's name: when a process
   loads it, it leaves "<its own path>.loaded" behind, holding the loading
   program's path. It exports nothing the real DLL has. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH + 16], program[MAX_PATH];
    DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
    DWORD m = GetModuleFileNameA(NULL, program, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcatA(path, ".loaded");
      HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, program, m, &written, NULL);
        CloseHandle(file);
      }
    }
  }
  return TRUE;
}
