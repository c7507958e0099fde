#pragma once
// The setup window KwSetupForm1 (class "TKwSetupForm1"): a full-screen navy
// window that shows one grey panel at a time: the install question, the
// uninstall question or the progress note. It drives both the setup and the
// uninstall flow.
#include <windows.h>
#include <memory>
#include <vector>
#include "app/Controls.h"
#include "app/InstallStart.h"
#include "base/Text.h"
#include "engine/EngineValues.h"
#include "lang/FormInterface.h"

extern const char* const kSetupWindowClass;  // "TKwSetupForm1"

// Control ids; the window acts on WM_COMMAND by id.
enum ControlId : int {
  kIdStartBtn = 101,
  kIdNoBtn,
  kIdChooseBtn,
  kIdPgmPathEd,
  kIdCreateDesktopLinkCheck,
  kIdEBayCheck,
  kIdUninstStartBtn,
  kIdUninstNoBtn,
  kIdVersionStaticText,
  kIdLabel,
  kIdCancelBtn,
  kIdAllUsersRadio,
  kIdCurrentUserRadio,
};

// The progress panel: its design size, its height with the cancel button,
// the margin beside its label and bar; the bar's range.
constexpr int kProgressPanelWidth = 417, kProgressPanelHeight = 129, kCancellablePanelHeight = 157;
constexpr int kProgressMargin = 44;
constexpr int kProgressSteps = 1000;

// The timer that starts the first checks once the window shows.
constexpr UINT_PTR kFirstCheckTimerId = 1;

// What the window runs while its progress panel shows.
enum class RunKind { Install, Uninstall, Recovery };

class TKwSetupForm1 : public MLForm, public ControlHost, private InstallStartSteps {
public:
  TKwSetupForm1();
  ~TKwSetupForm1() override;

  // Registers the window classes and builds the window with all its controls
  // (hidden); then runs FormCreate. False when the window cannot be made.
  bool Create(HINSTANCE instance);
  HWND Handle() const { return hwnd_; }
  // Shows the window zoomed to the full screen.
  void Show();

  // MLComponent / MLForm
  ByteString Text() const override;
  void SetText(const ByteString& text) override;
  ByteString Hint() const override { return hint_; }
  void SetHint(const ByteString& hint) override { hint_ = hint; }
  int Width() const override;
  void SetWidth(int width) override;
  uint8_t FontCharset() const override { return formFont_.charset; }
  void SetFontCharset(uint8_t charset) override;
  bool ParentFont() const override { return false; }
  MLComponent* Parent() const override { return nullptr; }
  int OwnedCount() const override { return static_cast<int>(components_.size()); }
  MLComponent* OwnedAt(int index) const override;
  int TextWidth(const MLComponent& fontOf, const ByteString& text) override;

  // ControlHost
  const FontDesc& FormFont() const override { return formFont_; }
  HFONT FormFontHandle() const override { return formFontHandle_; }
  MLComponent* AsComponent() override { return this; }
  int Dpi() const override { return dpi_; }

  // The window's operations.
  void ShowPanel(FormControl* panel);
  void CenterPanel();
  // Lays the window out anew at its DPI: fonts, sizes, every control grown to
  // its text within its panel, the panels grown to their controls.
  void LayOut();
  void ShowInstallQuestion();
  void SwitchLanguage(const ByteString& code);

  // Event handlers.
  void FormCreate();
  void FormResize();
  void StartBtnClick();
  void NoBtnClick();
  void UninstStartBtnClick();
  void UninstNoBtnClick();
  void FirstCheckTimerTimer();
  void ChooseBtnClick();
  void CancelBtnClick();
  // "für alle Benutzer" / "nur für mich": the folder offered follows.
  void ScopeRadioClick(InstallScope scope);

  // Processes the messages waiting in the queue (lets the window repaint).
  void ProcessMessages();
  // A run's progress: moves the bar under the progress label to done/total
  // and handles what is waiting in the message queue.
  void ShowRunProgress(uint64_t done, uint64_t total);
  // A run being undone: the bar runs back from where it stood to nothing.
  void ShowRollbackProgress(uint64_t undone, uint64_t total);
  // The same for the engine's undo, of this run or of one a kill left.
  static void RollbackProgressHook(uint64_t undone, uint64_t total);
  // Closes the window, which ends the program.
  void Close();

  // Controls, by their names.
  FormControl* SetupTaskLabel = nullptr;
  FormControl* Label6 = nullptr;
  FormControl* AskPanel = nullptr;
  FormControl* VersionStaticText = nullptr;
  FormControl* Label8 = nullptr;
  FormControl* ChooseBtn = nullptr;
  FormControl* PgmPathEd = nullptr;
  FormControl* CreateDesktopLinkCheck = nullptr;
  FormControl* eBayCheck = nullptr;
  FormControl* AllUsersRadio = nullptr;
  FormControl* CurrentUserRadio = nullptr;
  FormControl* Label4 = nullptr;
  FormControl* StartBtn = nullptr;
  FormControl* NoBtn = nullptr;
  FormControl* ProgressPanel = nullptr;
  FormControl* ProgressLabel = nullptr;
  FormControl* CancelBtn = nullptr;
  FormControl* UninstAskPanel = nullptr;
  FormControl* Label7 = nullptr;
  FormControl* UninstStartBtn = nullptr;
  FormControl* UninstNoBtn = nullptr;
  FormControl* FirstCheckTimer = nullptr;
  FormControl* OpenDialog = nullptr;
  FormControl* XPManifest1 = nullptr;

  FormControl* CurrentPanel = nullptr;

private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void BuildControls();
  FormControl* AddControl(MLComponentKind kind, FormControl* parent, const char* windowClass,
                          const char* caption, DWORD style, int left, int top, int width, int height,
                          int id, bool autoSize);
  FormControl* AddComponent();
  void OnCommand(int id);
  // Runs a handler; a raised failure ends it and shows the application's error box.
  template <typename Handler> void Guarded(Handler handler);
  // While a run lasts: logging off and shutting down are refused, and only
  // an install offers to cancel (until its commit has begun).
  struct RunScope {
    RunScope(TKwSetupForm1& form, RunKind kind);
    ~RunScope();
    TKwSetupForm1& form;
  };
  bool CancelOffered() const;
  // The progress panel with this label; the cancel button only for an install.
  void ShowProgressPanel(const ByteString& label, bool cancellable);
  void LayOutProgressPanel();
  // The shown controls that the panel (null: the window itself) holds.
  std::vector<FormControl*> ControlsOf(const FormControl* panel) const;
  // Completes what a killed setup or uninstaller left unfinished and says
  // so; true when that was all this uninstaller had to do (it closes).
  bool RecoverInterruptedRun();
  // The steps before an install's first change, as the window takes them
  // (app/InstallStart.h): a box says why the install does not start.
  void FolderRefused(const ByteString& folder) override;
  bool FolderAccepted(const ByteString& folder) override;
  void ProgramInUse(const ByteString& program) override;
  void TooLittleRoom(const std::vector<SpaceShortage>& shortages) override;
  void NotOverBase(const ByteString& what) override;
  bool FilesHeld(const std::vector<ByteString>& files) override;
  bool RunInstall() override;
  // An install for all users without administrator rights: its elevated
  // copy installs (/PASSIVE) while the window waits. False when this run
  // can install itself.
  bool InstallElevated(const ByteString& folder);
  bool IsChecked(FormControl* check) const;
  void SetChecked(FormControl* check, bool checked);
  int DefaultButtonId() const;

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  ByteString hint_;
  FontDesc formFont_;
  HFONT formFontHandle_ = nullptr;
  std::vector<std::unique_ptr<FormControl>> components_;
  HWND focusBeforeDeactivate_ = nullptr;
  HWND progressBar_ = nullptr;
  int dpi_ = 96;
  bool progressCancellable_ = false;
  bool busy_ = false;        // a run is going on: the window cannot be closed
  bool running_ = false;     // inside a RunScope
  RunKind runKind_ = RunKind::Install;
  bool askingCancel_ = false;    // the cancel question is on screen
  bool cancelConfirmed_ = false;  // "Ja" to it
  int rollbackFrom_ = -1;        // the bar's position when the undoing began
  ByteString dialogFileName_;  // the folder dialog's file name, kept between uses
};

// The one setup window of the process (null before it is created).
extern TKwSetupForm1* KwSetupForm1;

