// Stand-in for the partner's shortcut installer: it does nothing but note
// that it ran (its command line) in "partner-started.txt" in the user's
// temporary folder.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char temp[MAX_PATH + 1] = {};
  if (!GetTempPathA(sizeof temp, temp)) return 1;
  std::string log = std::string(temp) + "partner-started.txt";
  HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::string line = std::string(GetCommandLineA()) + "\r\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
