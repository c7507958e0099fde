/* dllprobe NAME [protect]: loads NAME with LoadLibraryA, as a program does
   that asks for a DLL by name after start, and prints where it came from.
   With "protect" it first restricts the search to the system folder, as
   Setup.exe does at its very start. Exit code 0 when the load succeeded. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: dllprobe NAME [protect]\n");
    return 2;
  }
  if (argc > 2 && strcmp(argv[2], "protect") == 0) {
    typedef BOOL(WINAPI * SetDirs)(DWORD);
    SetDirs set = (SetDirs)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (!set || !set(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */)) {
      printf("protection not available\n");
      return 3;
    }
  }
  HMODULE module = LoadLibraryA(argv[1]);
  if (!module) {
    printf("not loaded (error %lu)\n", GetLastError());
    return 1;
  }
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, MAX_PATH);
  printf("loaded:%s\n", path);
  return 0;
}
