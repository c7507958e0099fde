// zlib is part of the program. The Windows builds once took zlib's import
// library, so Setup.exe needed a zlib1.dll: a plain Windows has none, and a
// zlib1.dll beside Setup.exe (a downloads folder) was loaded before the
// program's first instruction. This test program links the package code as
// Setup.exe does; after using zlib, no zlib DLL may be in the process.
#include <gtest/gtest.h>

#include "package/ZLibHelpers.h"

#ifdef _WIN32
#include <windows.h>
#endif

TEST(ZLibLink, NoZLibDllInTheProcess) {
  const ByteString text(1000, 'q');
  ASSERT_EQ(DecompressBytes(CompressBytes(text, 2)), text);
#ifdef _WIN32
  EXPECT_EQ(GetModuleHandleA("zlib1.dll"), nullptr) << "zlib was linked as a DLL";
  EXPECT_EQ(GetModuleHandleA("libz.dll"), nullptr) << "zlib was linked as a DLL";
#else
  GTEST_SKIP() << "natively the system's zlib is a shared library by design";
#endif
}
