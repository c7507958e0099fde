#pragma once
// Native engine tests: every fake back to its start, the engine's values
// emptied, and drive "C:" mapped into a throw-away folder.
#include <gtest/gtest.h>

#include "engine/EngineValues.h"
#include "engine/RunJournal.h"
#include "package/Sections.h"
#include "platform/Files.h"
#include "tests/support/common/TempFolder.h"
#include "tests/support/fakes/FakeProcess.h"
#include "tests/support/fakes/FakeRegistry.h"
#include "tests/support/fakes/FakeSecurity.h"
#include "tests/support/fakes/FakeShell.h"
#include "tests/unit/engine/TestPackage.h"

namespace enginetest {

class EngineTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetEngineValues();
    ResetOwnSections();
    fakes::ResetRegistry();
    fakes::ResetSecurity();
    fakes::ResetProcess();
    fakes::ResetShell();
    platform::SetNativeDriveRoot(temp_.Path());
    testsupport::MakeHostFolders(temp_ / "C/ProgramData");
    fakes::SetSpecialFolder(kCommonAppData, "C:\\ProgramData");  // where the run's journal lies
    platform::SetNativeFreeSpace(-1);
    ResetRunJournal();
  }
  static constexpr int kCommonAppData = 35;
  void TearDown() override {
    platform::SetNativeDriveRoot("");
    ResetOwnSections();
    ResetEngineValues();
  }

  // Where a Windows path of the engine lies on this host.
  ByteString Host(const ByteString& windowsPath) const { return platform::NativePath(windowsPath); }
  ByteString SetupLog() const { return testsupport::ReadHostFile(Host("C:\\Setup.log")); }

  // Makes the package the running "executable".
  void UsePackage(const PackageParts& parts) { UsePackageFile(BuildPackage("MZ stub", parts)); }
  void UsePackageFile(const ByteString& package) {
    const ByteString path = temp_ / "Setup.exe";
    ASSERT_TRUE(testsupport::WriteHostFile(path, package));
    fakes::SetModuleFileName(path);
  }
  void UseScript(const ByteString& script) {
    PackageParts parts;
    parts.script = script;
    UsePackage(parts);
  }

  testsupport::TempFolder temp_;
};

}  // namespace enginetest
