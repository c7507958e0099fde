// A stand-in for the installed program: writes its own path, its command
// line and its current folder to the file named by the environment variable
// Q_RECORD_FILE. The file appears complete (written beside it, then
// renamed), so that its existence says the record is all there.
#include <windows.h>

#include <cstdio>

int main() {
  char target[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("Q_RECORD_FILE", target, sizeof target)) return 1;
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, sizeof self);
  char part[MAX_PATH + 8] = {};
  std::snprintf(part, sizeof part, "%s.part", target);
  std::FILE* out = std::fopen(part, "wb");
  if (!out) return 2;
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof folder, folder);
  std::fprintf(out, "%s\n%s\n%s\n", self, GetCommandLineA(), folder);
  std::fclose(out);
  return MoveFileExA(part, target, MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
