/* A stand-in for the desktop's shell, which Windows has (Explorer) and
 * Wine's desktop has not: a window registered as the shell window, so that
 * the setup starts programs as the shell's children the way it does on
 * Windows. It notes that it is ready in the file given, then waits until it
 * is ended. */
#include <windows.h>
#include <stdio.h>

__declspec(dllimport) BOOL WINAPI SetShellWindow(HWND); /* user32; not in every SDK */

int main(int argc, char** argv) {
  HWND window = CreateWindowExA(0, "STATIC", "desktop shell", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
  if (!window || !SetShellWindow(window)) return 1;
  if (argc > 1) {
    FILE* ready = fopen(argv[1], "w");
    if (ready) fclose(ready);
  }
  MSG message;
  while (GetMessageA(&message, NULL, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
