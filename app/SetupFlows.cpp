// The setup window's flows: creation, the install question, the install and
// the uninstall.
#include "app/SetupFlows.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <string>

#include "app/ExitCodesAndHelp.h"
#include "app/FolderRules.h"
#include "app/InstallStart.h"
#include "app/MessageBoxes.h"
#include "app/PanelLayout.h"
#include "app/RunningMark.h"
#include "app/SelfRemoval.h"
#include "app/SetupTexts.h"
#include "app/SetupWindow.h"
#include "engine/CommandLine.h"
#include "engine/Elevation.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/InstallChecks.h"
#include "engine/InstalledFiles.h"
#include "engine/PathVariables.h"
#include "engine/ProductSettings.h"
#include "engine/ProgramStart.h"
#include "engine/RunJournal.h"
#include "engine/ScriptInterpreter.h"
#include "engine/ShellActions.h"
#include "engine/SystemFolders.h"
#include "engine/UninstallRun.h"
#include "lang/Multilingual.h"
#include "package/WholeFiles.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/win32/SystemCalls.h"

namespace {

// A box names at most this many held files.
constexpr std::size_t kHeldFilesNamed = 10;
constexpr uint16_t kLangChinese = 4, kLangGerman = 7, kLangEnglish = 9, kLangSpanish = 10, kLangFrench = 12,
                   kLangItalian = 16, kLangPortuguese = 22, kLangSwedish = 29;

// The maker line in the title bar; the copyright sign only where the code
// page has it.
const char* MakerLine() {
  return AnsiCodePage == 1252 ? "Quillon Setup \xA9 2026 Quillon Software GmbH"
                              : "Quillon Setup (c) 2026 Quillon Software GmbH";
}

}  // namespace

const char* const kPartnerProgram = "eBay_Setup_shortcuts_1018.exe";

ByteString LanguageForSystem(uint16_t primary) {
  switch (primary) {
    case kLangChinese: return "ZH";
    case kLangGerman: return "";
    case kLangSpanish: return "ES";
    case kLangFrench: return "FR";
    case kLangItalian: return "IT";
    case kLangPortuguese: return "BR";
    case kLangSwedish: return "SV";
    default: return "EN";
  }
}

namespace {

// Paths beyond 260 characters work where the system has them enabled
// (Windows 10 and later, with the setting on) and the manifest asks for them.
bool LongPathsEnabled() {
  using RtlAreLongPathsEnabledFn = BOOLEAN(WINAPI*)();
  static const auto enabled = SystemCall<RtlAreLongPathsEnabledFn>("ntdll.dll", "RtlAreLongPathsEnabled");
  return enabled && enabled();
}

// The files another program holds, with the programs where the system names them.
ByteString HeldFilesMessage(std::vector<ByteString> files) {
  const bool more = files.size() > kHeldFilesNamed;
  if (more) files.resize(kHeldFilesNamed);
  ByteString list = HeldFilesText(files);
  if (more) list += " ...";
  return Unit1TextWithAll(kTextFilesInUse, {list});
}

}  // namespace

void TKwSetupForm1::FormCreate() {
  TranslateNewForm(*this);
  SetText(MakerLine());
  OwnerWindow = reinterpret_cast<std::uintptr_t>(hwnd_);
  Quiet = true;
  SwitchLanguage(LanguageForSystem(SystemPrimaryLanguage));
  if (SystemPrimaryLanguage != kLangGerman && SystemPrimaryLanguage != kLangEnglish) {
    SetChecked(eBayCheck, false);
    ShowWindow(eBayCheck->Handle(), SW_HIDE);
  }
  LayOut();
  // A setup or uninstaller killed during its run left a journal: what it
  // changed is undone (or its commit completed) before anything else.
  if (UnfinishedRunJournal() && RecoverInterruptedRun()) return;
  if (UninstallMode) {
    SetupTaskLabel->SetText(Unit1Text(kTextUninstallTitle));
    ShowPanel(UninstAskPanel);
  } else {
    RunSetupScript(true);
    ShowInstallQuestion();
  }
}

void TKwSetupForm1::FormResize() { CenterPanel(); }

void TKwSetupForm1::ShowPanel(FormControl* panel) {
  if (CurrentPanel) ShowWindow(CurrentPanel->Handle(), SW_HIDE);
  CurrentPanel = panel;
  if (!panel) return;
  CenterPanel();
  ShowWindow(panel->Handle(), SW_SHOW);
  if (panel == AskPanel) SetFocus(StartBtn->Handle());
  else if (panel == UninstAskPanel) SetFocus(UninstStartBtn->Handle());
}

void TKwSetupForm1::ShowProgressPanel(const ByteString& label, bool cancellable) {
  ProgressLabel->SetText(label);
  progressCancellable_ = cancellable;
  LayOutProgressPanel();
  ShowWindow(CancelBtn->Handle(), cancellable ? SW_SHOW : SW_HIDE);
  ShowPanel(ProgressPanel);
  // Esc reaches the window only while one of its controls has the focus.
  SetFocus(cancellable ? CancelBtn->Handle() : hwnd_);
}

void TKwSetupForm1::LayOutProgressPanel() {
  const auto scaled = [this](int length) { return ScaleToDpi(length, dpi_); };
  // The panel grows with a longer (translated) label or cancel button; the
  // bar and the button follow its width.
  ProgressLabel->FitToText();
  RECT labelRect;
  GetWindowRect(ProgressLabel->Handle(), &labelRect);
  const int margin = scaled(kProgressMargin);
  const int buttonWidth = std::max(scaled(90), NeededWidth(*CancelBtn, dpi_));
  const int width = std::max({scaled(kProgressPanelWidth), static_cast<int>(labelRect.right - labelRect.left) + 2 * margin,
                              buttonWidth + 2 * margin});
  // With the cancel button below the bar, label and bar move up so that the
  // three sit in the middle.
  const int height = scaled(progressCancellable_ ? kCancellablePanelHeight : kProgressPanelHeight);
  const int top = scaled(progressCancellable_ ? 32 : 56);
  SetWindowPos(ProgressPanel->Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(ProgressLabel->Handle(), nullptr, margin, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(progressBar_, nullptr, margin, top + scaled(28), width - 2 * margin, scaled(18),
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(CancelBtn->Handle(), nullptr, (width - buttonWidth) / 2, top + scaled(64), buttonWidth, scaled(29),
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (CurrentPanel == ProgressPanel) CenterPanel();
}

bool TKwSetupForm1::RecoverInterruptedRun() {
  OwnFileLeft own;
  const ByteString installLabel = ProgressLabel->Text();
  ShowProgressPanel(Unit1Text(kTextUndoingInterrupted), false);
  SendMessageA(progressBar_, PBM_SETPOS, kProgressSteps, 0);
  Show();
  {
    RunScope run(*this, RunKind::Recovery);
    ProcessMessages();
    RecoverUnfinishedRun(RollbackProgressHook, &own);
  }
  busy_ = false;
  SendMessageA(progressBar_, PBM_SETPOS, 0, 0);
  ProgressLabel->SetText(installLabel);
  const bool complete = !UnfinishedRunJournal();
  if (complete) ShowInformationBox(Unit1Text(kTextInterruptedRunRecovered));
  // The placeholder, or an uninstaller of the undone run, has nothing left
  // to do; no uninstaller removes anything while a journal is left.
  if (!UninstallMode || (complete && UninstallLeftAfterRecovery(own))) return false;
  EndAfterRecovery(own);
  Close();
  return true;
}

void TKwSetupForm1::CenterPanel() {
  if (!CurrentPanel) return;
  RECT client, panel;
  GetClientRect(hwnd_, &client);
  GetWindowRect(CurrentPanel->Handle(), &panel);
  int width = panel.right - panel.left, height = panel.bottom - panel.top;
  // Integer division truncates toward zero, as the layout expects.
  int left = (client.right - width) / 2, top = (client.bottom - height) / 2;
  SetWindowPos(CurrentPanel->Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TKwSetupForm1::ShowInstallQuestion() {
  ByteString title = Unit1Text(kTextProduct);
  if (!Version.empty()) title += " (" + Unit1Text(kTextVersion) + " " + Version + ")";
  VersionStaticText->SetText(Unit1TextWith(kTextInstallsProduct, ShortText(title)));
  PgmPathEd->SetText(PgmPath);
  if (SystemHasUserProgramsFolder()) {
    SetChecked(AllUsersRadio, !PerUserRun());
    SetChecked(CurrentUserRadio, PerUserRun());
    ShowWindow(AllUsersRadio->Handle(), SW_SHOW);
    ShowWindow(CurrentUserRadio->Handle(), SW_SHOW);
    LayOut();  // the layout takes the visible controls: now these two as well
  }
  ShowPanel(AskPanel);
  SetTimer(hwnd_, kFirstCheckTimerId, 200, nullptr);
}

void TKwSetupForm1::ScopeRadioClick(InstallScope scope) {
  if (scope == Scope) return;
  OfferFoldersFor(scope);
  PgmPathEd->SetText(PgmPath);
}

bool TKwSetupForm1::InstallElevated(const ByteString& folder) {
  if (!NeedsElevation()) return false;
  // The copy installs with the choices made here and starts the product as
  // the logged-on user; it claims the setup's mark, so this run lets go of it.
  ByteString parameters = "/PASSIVE /ALLUSERS /RUN";
  if (!IsChecked(CreateDesktopLinkCheck)) parameters += " /NODESKTOP";
  parameters += " \"/D=" + StripTrailingSeparator(folder) + "\"";
  ShowProgressPanel(ProgressLabel->Text(), false);
  ProcessMessages();
  ReleaseSetupInstance();
  const ElevatedOutcome outcome = RunElevatedCopy(parameters);
  if (outcome.run == platform::ElevatedRun::Refused) {
    ClaimSetupInstance();
    ShowPanel(AskPanel);
    ShowErrorBox(Unit1Text(kTextElevationRefused));
    return true;
  }
  ShowPanel(nullptr);
  if (outcome.run == platform::ElevatedRun::Ended && !outcome.logHandedOver && !Switches.logFile.empty())
    WriteRunLog(Switches.logFile, ExitCodeText(outcome.exitCode));
  const bool done = outcome.run == platform::ElevatedRun::Ended &&
                    (outcome.exitCode == kExitInstalled || outcome.exitCode == kExitRestartNeeded);
  if (done) ShowInformationBox(Unit1Text(kTextInstalled));
  else ShowErrorBox(Unit1Text(outcome.exitCode == kExitDiskFull ? kTextDriveFull : kTextFailed));
  Close();
  return true;
}

void TKwSetupForm1::SwitchLanguage(const ByteString& code) {
  ByteString wanted = LanguageCode(code);
  if (wanted.empty() || !MLSystem || wanted == MLSystem->CurrentCode()) return;
  ChangeLanguage(MLSystem->CurrentCode(), wanted, "");
  LayOut();
}

void TKwSetupForm1::FirstCheckTimerTimer() {
  KillTimer(hwnd_, kFirstCheckTimerId);
  // The install may have started before the timer came due (Enter at once):
  // the question would come too late then.
  if (busy_) return;
  if (!UninstallMode && NewerVersionInstalled()) {
    if (!AskConfirmation(Unit1Text(kTextNewerInstalled))) Close();
  }
}

void TKwSetupForm1::FolderRefused(const ByteString& folder) {
  ShowErrorBox(Unit1Text(kTextFolderUnusable));
  if (folder.empty()) PgmPathEd->SetText(PgmPath);
}

bool TKwSetupForm1::FolderAccepted(const ByteString& folder) {
  if (!FolderLengthAllowed(folder, LongPathsEnabled())) {
    ShowErrorBox(Unit1TextWith(kTextFolderTooLong, ShortText(std::to_string(kShortPathsFolderLength))));
    return false;
  }
  // Without the rights for all users, the elevated copy checks and installs.
  return !InstallElevated(folder);
}

void TKwSetupForm1::ProgramInUse(const ByteString&) { ShowErrorBox(Unit1Text(kTextProgramInUse)); }

void TKwSetupForm1::TooLittleRoom(const std::vector<SpaceShortage>& shortages) {
  ByteString text;
  for (const SpaceShortage& shortage : shortages)
    text += (text.empty() ? "" : "\r\r") +
            Unit1TextWithAll(kTextTooLittleRoom, {shortage.volume, MegabytesText(shortage.needed), MegabytesText(shortage.free)});
  ShowErrorBox(text);
}

void TKwSetupForm1::NotOverBase(const ByteString& what) {
  ShowErrorBox(Unit1TextWithAll(kTextUpdateNotOverBase, {what}));
}

bool TKwSetupForm1::FilesHeld(const std::vector<ByteString>& files) { return AskRetry(HeldFilesMessage(files)); }

bool TKwSetupForm1::RunInstall() {
  ShowProgressPanel(ProgressLabel->Text(), true);
  RunScope run(*this, RunKind::Install);
  ProcessMessages();
  return RunSetupScript(false);
}

void TKwSetupForm1::StartBtnClick() {
  ByteString folder = PgmPathEd->Text();
  const InstallStart start = StartInstall(folder, IsChecked(CreateDesktopLinkCheck), *this);
  if (start == InstallStart::NotStarted) return;
  if (start == InstallStart::Failed) {
    // Every change was undone.
    ShowPanel(nullptr);
    if (RunCancelled()) ShowInformationBox(Unit1Text(kTextCancelled));
    else ShowErrorBox(Unit1Text(WriteFailedForDiskFull ? kTextDriveFull : kTextFailed));
    Close();
    return;
  }

  ByteString partner = folder + kPartnerProgram;
  if (IsChecked(eBayCheck) && IsExistingFile(partner)) StartInstalledProgram(partner, "", SW_SHOWNOACTIVATE);
  ProcessMessages();
  ShowPanel(nullptr);
  ShowInformationBox(Unit1Text(Exec.empty() ? kTextInstalled : kTextInstalledStarting));
  ShowWindow(hwnd_, SW_HIDE);
  ProcessMessages();
  // The partner's program, when it ran, may take a moment to end and free its file.
  for (int attempt = 0; attempt < 30 && !platform::RemoveFile(partner) && IsExistingFile(partner); ++attempt) Sleep(100);
  RunProgram();
  Close();
}

void TKwSetupForm1::NoBtnClick() { Close(); }

void TKwSetupForm1::UninstNoBtnClick() { Close(); }

void TKwSetupForm1::UninstStartBtnClick() {
  busy_ = true;
  ShowProgressPanel(Unit1Text(kTextRemoving), false);
  ProcessMessages();
  // Nothing is removed while another program holds an installed file.
  for (std::vector<ByteString> held; !(held = HeldInstalledFiles()).empty();) {
    if (!AskRetry(HeldFilesMessage(held))) {
      Close();
      return;
    }
  }
  // Not undone once begun: the uninstall offers no cancel.
  RunScope run(*this, RunKind::Uninstall);
  UninstallLeftovers leftovers;
  RunUninstall(&leftovers);
  ScheduleSelfRemoval(leftovers);
  Close();
}

void TKwSetupForm1::CancelBtnClick() {
  if (!CancelOffered()) return;
  // The run waits while the question is on screen.
  askingCancel_ = true;
  const bool cancel = AskConfirmation(Unit1Text(kTextReallyCancel));
  askingCancel_ = false;
  if (!cancel || !CancelOffered()) return;
  cancelConfirmed_ = true;
  RequestRunCancel();
  ShowProgressPanel(Unit1Text(kTextCancelling), false);
}

void TKwSetupForm1::ChooseBtnClick() {
  ByteString title = Unit1Text(kTextJumpToFolder);
  if (dialogFileName_.empty()) {
    ByteString programFiles = StripTrailingSeparator(ProgramFilesFolder());
    ByteString start = StripTrailingSeparator(TrimBlanks(PgmPathEd->Text()));
    if (start.empty()) start = programFiles;
    if (!FolderExists(start)) {
      start = ParentFolderOf(start);
      if (!FolderExists(start)) start = programFiles;
    }
    dialogFileName_ = start + "\\" + title;
  }

  char fileName[MAX_PATH * 4] = {};
  lstrcpynA(fileName, dialogFileName_.c_str(), sizeof fileName);
  static const char kFilter[] = "Directory\0*.nofiles\0";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = fileName;
  ofn.nMaxFile = sizeof fileName;
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_DONTADDTORECENT;
  if (!GetOpenFileNameA(&ofn)) return;
  dialogFileName_ = fileName;
  PgmPathEd->SetText(ChosenProgramFolder(dialogFileName_));
}
