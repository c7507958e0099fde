#pragma once
// A clean engine over a throw-away drive C: (native file mapping) and the
// fakes of the registry, shell, process and security services.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/ByteStringList.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/PackedData.h"
#include "engine/RunJournal.h"
#include "engine/ScriptCommands.h"
#include "package/Sections.h"
#include "platform/Files.h"
#include "tests/support/common/TempFolder.h"
#include "tests/support/fakes/FakeProcess.h"
#include "tests/support/fakes/FakeRegistry.h"
#include "tests/support/fakes/FakeSecurity.h"
#include "tests/support/fakes/FakeShell.h"

class ActionsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetEngineValues();
    ResetRunJournal();  // what an earlier test's run wrote or made is no longer its own
    fakes::ResetRegistry();
    fakes::ResetProcess();
    fakes::ResetShell();
    fakes::ResetSecurity();
    ResetOwnSections();
    SetOwnFilePathForTests("");
    std::filesystem::create_directories(temp_ / "C");
    platform::SetNativeDriveRoot(temp_.Path());
  }
  void TearDown() override {
    platform::SetNativeDriveRoot("");
    ResetOwnSections();
    SetOwnFilePathForTests("");
    ResetEngineValues();
  }

  // "C:\a\b" on the host.
  ByteString Host(const ByteString& windowsPath) const { return platform::NativePath(windowsPath); }
  ByteString Read(const ByteString& windowsPath) const { return testsupport::ReadHostFile(Host(windowsPath)); }
  bool Exists(const ByteString& windowsPath) const { return testsupport::FileExistsOnHost(Host(windowsPath)); }
  bool FolderExists(const ByteString& windowsPath) const {
    return testsupport::FolderExistsOnHost(Host(windowsPath));
  }
  void Write(const ByteString& windowsPath, const ByteString& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(Host(windowsPath)).parent_path());
    ASSERT_TRUE(testsupport::WriteHostFile(Host(windowsPath), bytes));
  }

  static std::vector<ByteString> Entries(const TQStringList& list) {
    std::vector<ByteString> entries;
    for (int32_t i = 0; i < list.Count(); ++i) entries.push_back(list.ItemText(i));
    return entries;
  }

  testsupport::TempFolder temp_;
};
