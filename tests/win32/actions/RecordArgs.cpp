// A stand-in for the installed program: appends its own path, its command
// line and its current folder to the file named by the environment variable
// Q_RECORD_FILE.
#include <windows.h>

#include <cstdio>

int main() {
  char target[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("Q_RECORD_FILE", target, sizeof target)) return 1;
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::FILE* out = std::fopen(target, "ab");
  if (!out) return 2;
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof folder, folder);
  std::fprintf(out, "%s\n%s\n%s\n", self, GetCommandLineA(), folder);
  std::fclose(out);
  return 0;
}
