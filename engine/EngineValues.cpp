#include "engine/EngineValues.h"

#include "engine/ErrorList.h"

#include "base/ByteStringList.h"

ByteString PgmPath;
ByteString DataPath;
ByteString MyStartMenu;
ByteString RegistryKey;
ByteString Version;
ByteString Lng;
ByteString LngData;
ByteString Exec;
ByteString ExecParams;
std::uintptr_t OwnerWindow = 0;
bool Quiet = false;
bool DesktopLinks = false;
ByteString ErrorText;
ByteString UninstallerPath;
bool UninstallMode = false;
ByteString LastTrustee;
bool DataPathFromScript = false;
InstallScope Scope = InstallScope::AllUsers;

TQStringList* CreatedFolders = nullptr;
TQStringList* WrittenFiles = nullptr;
TQStringList* UninstallValues = nullptr;
TQStringList* ParamList = nullptr;

namespace {

// The lists exist from the start of the process to its end, so every part of
// the engine may use them without checking. They are created here, during
// static initialisation, before anything in the engine runs.
struct EngineLists {
  TQStringList createdFolders;
  TQStringList writtenFiles;
  TQStringList uninstallValues;
  TQStringList paramList;

  EngineLists() {
    // Folders are recorded once whatever their letter case.
    createdFolders.SetCaseSensitive(false);
    createdFolders.SetDuplicates(TDuplicates::Ignore);
    createdFolders.SetSorted(true);
    CreatedFolders = &createdFolders;
    WrittenFiles = &writtenFiles;
    UninstallValues = &uninstallValues;
    ParamList = &paramList;
  }
  ~EngineLists() {
    CreatedFolders = WrittenFiles = UninstallValues = ParamList = nullptr;
  }
};

EngineLists engineLists;

}  // namespace

void ResetEngineValues() {
  Scope = InstallScope::AllUsers;
  PgmPath.clear();
  DataPath.clear();
  MyStartMenu.clear();
  RegistryKey.clear();
  Version.clear();
  Lng.clear();
  LngData.clear();
  Exec.clear();
  ExecParams.clear();
  OwnerWindow = 0;
  Quiet = false;
  DesktopLinks = false;
  ErrorText.clear();
  Refusals.clear();
  UninstallerPath.clear();
  UninstallMode = false;
  LastTrustee.clear();
  DataPathFromScript = false;
  CreatedFolders->Clear();
  WrittenFiles->Clear();
  UninstallValues->Clear();
  ParamList->Clear();
}
