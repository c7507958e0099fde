// The engine harness with the two things the setup program's start-up does
// before the engine runs: COM for the shell link object, and the language
// data from the own "Section:Setup.lng", which the uninstaller carries on.
#include <objbase.h>

#define main HarnessMain
#include "tests/e2e/harness/EngineHarness.cpp"
#undef main

#include "package/SelfLoadSectionsUnit.h"

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  LoadOwnSections();
  std::string_view languageData;
  if (ReadSection(kSectionSetupLng, SectionPart(), languageData)) LngData = ByteString(languageData);
  const int exitCode = HarnessMain(argc, argv);
  CoUninitialize();
  return exitCode;
}
