#include "tests/support/fakes/FakeProcess.h"

namespace {

struct ProcessState {
  ByteString moduleFileName = "C:\\Setup\\Setup.exe";
  ByteString commandLine = "\"C:\\Setup\\Setup.exe\"";
  platform::LocalTime time{2024, 1, 2, 3, 4, 5};
  bool userShell = true;
  bool shellParent = true;
  bool system = false;
  bool elevated = false;
  std::vector<fakes::StartedProgram> started;
  std::vector<fakes::ErrorBox> boxes;
  std::vector<ByteString> holders;
  bool administrator = true;
  platform::ElevatedRun elevation = platform::ElevatedRun::Ended;
  uint32_t elevatedExitCode = 0;
  std::vector<fakes::ElevatedStart> elevatedStarts;
  std::function<void(const fakes::ElevatedStart&)> elevatedCopy;
  platform::OwnFileVerdict ownFile = platform::OwnFileVerdict::Same;
  unsigned ownFileChecks = 0;
};

ProcessState& State() {
  static ProcessState state;
  return state;
}

}  // namespace

namespace fakes {

void ResetProcess() { State() = ProcessState(); }
void SetModuleFileName(const ByteString& path) { State().moduleFileName = path; }
void SetCommandLine(const ByteString& line) { State().commandLine = line; }
void SetLocalTime(const platform::LocalTime& time) { State().time = time; }
void SetUserShellOffered(bool offered) { State().userShell = offered; }
void SetShellParentOffered(bool offered) { State().shellParent = offered; }
void SetRunsAsSystem(bool system) { State().system = system; }
void SetRunsElevated(bool elevated) { State().elevated = elevated; }
const std::vector<StartedProgram>& StartedPrograms() { return State().started; }
const std::vector<ErrorBox>& ErrorBoxes() { return State().boxes; }
void SetHoldingPrograms(const std::vector<ByteString>& programs) { State().holders = programs; }
void SetAdministratorRights(bool administrator) { State().administrator = administrator; }
void SetElevationOutcome(platform::ElevatedRun outcome, uint32_t exitCode) {
  State().elevation = outcome;
  State().elevatedExitCode = exitCode;
}
void SetElevatedCopy(std::function<void(const ElevatedStart&)> copy) { State().elevatedCopy = std::move(copy); }
const std::vector<ElevatedStart>& ElevatedStarts() { return State().elevatedStarts; }
void SetOwnFileVerdict(platform::OwnFileVerdict verdict) { State().ownFile = verdict; }
unsigned OwnFileChecks() { return State().ownFileChecks; }

}  // namespace fakes

namespace platform {

ByteString ModuleFileName() { return State().moduleFileName; }
ByteString CommandLine() { return State().commandLine; }
LocalTime Now() { return State().time; }

OwnFileVerdict CheckOwnFile(ReadHandle file) {
  ++State().ownFileChecks;
  return file ? State().ownFile : OwnFileVerdict::NotTheImagesFile;
}

bool StartProgramAsShellUser(const ProgramStart& start) {
  if (!State().userShell || !State().shellParent) return false;
  State().started.push_back(fakes::StartedProgram{start, fakes::StartedAs::ShellChild});
  return true;
}

bool StartProgramWithShellToken(const ProgramStart& start) {
  if (!State().userShell) return false;
  State().started.push_back(fakes::StartedProgram{start, fakes::StartedAs::ShellToken});
  return true;
}

bool StartProgramDirectly(const ProgramStart& start) {
  State().started.push_back(fakes::StartedProgram{start, fakes::StartedAs::OwnChild});
  return true;
}

bool RunsAsSystem() { return State().system; }

bool HasAdministratorRights() { return State().administrator; }

bool RunsElevated() { return State().elevated; }

ElevatedRun RunElevatedAndWait(const ByteString& file, const ByteString& parameters, uint32_t& exitCode) {
  State().elevatedStarts.push_back(fakes::ElevatedStart{file, parameters});
  if (State().elevation == ElevatedRun::Ended && State().elevatedCopy) State().elevatedCopy({file, parameters});
  if (State().elevation == ElevatedRun::Ended) exitCode = State().elevatedExitCode;
  return State().elevation;
}

void ShowErrorBox(const ByteString& text, const ByteString& caption) {
  State().boxes.push_back(fakes::ErrorBox{text, caption});
}

std::vector<ByteString> ProgramsHolding(const std::vector<ByteString>& files) {
  return files.empty() ? std::vector<ByteString>() : State().holders;
}

}  // namespace platform
