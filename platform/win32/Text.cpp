// Text services on Windows: the kernel32 and user32 calls themselves (user32.dll
// loaded at its first call).
#include "platform/Text.h"

#include <windows.h>

#include <vector>

#include "platform/win32/SystemCalls.h"

namespace platform {

int MultiByteToWide(uint32_t codePage, uint32_t flags, const char* src, int srcLen,
                    char16_t* dst, int dstLen) {
  return MultiByteToWideChar(codePage, flags, src, srcLen, reinterpret_cast<wchar_t*>(dst), dstLen);
}

int WideToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* src, int srcLen,
                    char* dst, int dstLen) {
  return WideCharToMultiByte(codePage, flags, reinterpret_cast<const wchar_t*>(src), srcLen, dst,
                             dstLen, nullptr, nullptr);
}

int CompareAnsi(uint32_t flags, const ByteString& a, const ByteString& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size()));
}

int CompareWideText(uint32_t flags, const WideString& a, const WideString& b) {
  return CompareStringW(LOCALE_USER_DEFAULT, flags, reinterpret_cast<const wchar_t*>(a.data()),
                        static_cast<int>(a.size()), reinterpret_cast<const wchar_t*>(b.data()),
                        static_cast<int>(b.size()));
}

ByteString UpperCaseAnsi(const ByteString& text) {
  if (text.empty()) return text;
  using CharUpperBuffFn = DWORD(WINAPI*)(LPSTR, DWORD);
  static const auto upper = SystemModuleCall<CharUpperBuffFn>("user32.dll", "CharUpperBuffA");
  std::vector<char> buffer(text.begin(), text.end());
  if (upper) upper(buffer.data(), static_cast<DWORD>(buffer.size()));
  return ByteString(buffer.begin(), buffer.end());
}

uint32_t AnsiCodePage() { return GetACP(); }
uint16_t SystemDefaultLangId() { return GetSystemDefaultLangID(); }

}  // namespace platform
