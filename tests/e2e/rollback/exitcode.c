/* exitcode PROGRAM [ARGS...]: runs the program, waits for it and prints its
 * whole exit code (a Unix shell sees only its low byte, and 3010 & 255 is
 * no code of its own). */
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  /* Everything behind our own name, as it was given. */
  const char* line = GetCommandLineA();
  int quoted = 0;
  while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
    if (*line == '"') quoted = !quoted;
    ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  char command[32768];
  lstrcpynA(command, line, sizeof command);
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    printf("cannot start: %lu\n", GetLastError());
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  printf("%lu\n", code);
  return 0;
}
