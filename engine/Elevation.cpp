#include "engine/Elevation.h"

#include <vector>

#include "engine/CommandLine.h"
#include "engine/EngineValues.h"

const char* const kElevatedCopySwitch = "/ELEVATED";

bool NeedsElevation() {
  return !PerUserRun() && !Switches.elevatedCopy && !platform::HasAdministratorRights();
}

ElevatedOutcome RunElevatedCopy(const ByteString& extra) {
  const ByteString commandLine = platform::CommandLine();
  std::vector<std::size_t> starts;
  const std::vector<ByteString> parameters = SplitParameters(commandLine, &starts);
  // The parameters exactly as written, parameter 0 (the program) left out.
  ByteString rest = parameters.size() > 1 ? commandLine.substr(starts[1]) : ByteString();
  const std::size_t zero = rest.find('\0');
  if (zero != ByteString::npos) rest.resize(zero);
  ByteString copyParameters = kElevatedCopySwitch;
  if (!extra.empty()) copyParameters += " " + extra;
  if (!rest.empty()) copyParameters += " " + rest;
  ElevatedOutcome outcome;
  outcome.run = platform::RunElevatedAndWait(platform::ModuleFileName(), copyParameters, outcome.exitCode);
  return outcome;
}
