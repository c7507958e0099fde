// setuppack: builds a setup package from a stub, a script source, language
// data and the product's files; lists and extracts packages.
#include <algorithm>
#include <iostream>
#include <thread>
#include <map>
#include <string>
#include <vector>

#include "FileUtil.h"
#include "PackBuilder.h"
#include "PackageReader.h"
#include "UpdateBuilder.h"
#include "WingetManifest.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  setuppack build --stub Setup-stub.exe --script setup.src --root DIR [--lng Setup.lng]\n"
    "                  [--codec zlib|zstd] [--threads N] [--quiet] -o Setup.exe\n"
    "  setuppack patch --from BASE.exe --to NEXT.exe [--threads N] [--quiet] -o UPDATE.exe\n"
    "  setuppack list FILE\n"
    "  setuppack extract FILE --to DIR\n"
    "  setuppack manifest FILE --id Publisher.Product --url URL -o DIR [--license TEXT]\n";

constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

int UsageError(const std::string& problem) {
  std::cerr << "setuppack: " << problem << "\n" << kUsage;
  return kExitUsage;
}

int Failure(const std::string& problem) {
  std::cerr << "setuppack: " << problem << "\n";
  return kExitBadInput;
}

// Takes the flag "--quiet" out of the arguments; true when it was there.
bool TakeQuiet(std::vector<std::string>& args) {
  const auto before = args.size();
  args.erase(std::remove(args.begin(), args.end(), std::string("--quiet")), args.end());
  return args.size() != before;
}

// Parses "--name value" pairs (and positional arguments) after the command.
bool ParseOptions(const std::vector<std::string>& args, const std::vector<std::string>& known,
                  std::map<std::string, std::string>& options, std::vector<std::string>& positional,
                  std::string& problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() > 1 && arg[0] == '-') {
      bool isKnown = false;
      for (const std::string& name : known) isKnown = isKnown || name == arg;
      if (!isKnown) {
        problem = "unknown option " + arg;
        return false;
      }
      if (i + 1 >= args.size()) {
        problem = "option " + arg + " needs a value";
        return false;
      }
      if (options.count(arg)) {
        problem = "option " + arg + " given twice";
        return false;
      }
      options[arg] = args[++i];
    } else {
      positional.push_back(arg);
    }
  }
  return true;
}

// --threads, default: one per core.
bool ThreadCount(std::map<std::string, std::string>& options, unsigned& threads, std::string& problem) {
  threads = std::max(1u, std::thread::hardware_concurrency());
  if (!options.count("--threads")) return true;
  const std::string& text = options["--threads"];
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(text) < 1) {
    problem = "--threads needs a number from 1 to 999";
    return false;
  }
  threads = static_cast<unsigned>(std::stoi(text));
  return true;
}

int WritePackage(const std::string& output, const std::string& package) {
  if (!setuppack::WriteFileBytes(output, package)) return Failure("cannot write " + output);
  std::cout << output << ": " << package.size() << " bytes\n";
  return 0;
}

int Build(std::vector<std::string> args) {
  const bool quiet = TakeQuiet(args);
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  std::string problem;
  if (!ParseOptions(args, {"--stub", "--script", "--root", "--lng", "--codec", "--threads", "-o"}, options, positional, problem))
    return UsageError(problem);
  if (!positional.empty()) return UsageError("unexpected argument " + positional.front());
  for (const char* required : {"--stub", "--script", "--root", "-o"})
    if (options[required].empty()) return UsageError(std::string("build needs ") + required);

  setuppack::BuildInputs inputs;
  inputs.stubPath = options["--stub"];
  inputs.scriptPath = options["--script"];
  inputs.rootPath = options["--root"];
  inputs.languagePath = options["--lng"];
  const std::string codec = options.count("--codec") ? options["--codec"] : "zlib";
  if (codec == "zstd") {
    inputs.options.codec = setuppack::Codec::kZstd;
  } else if (codec != "zlib") {
    return UsageError("--codec is zlib or zstd, not " + codec);
  }
  if (!ThreadCount(options, inputs.options.threads, problem)) return UsageError(problem);
  inputs.options.progress = !quiet;
  std::string package;
  if (!setuppack::BuildPackage(inputs, package, problem)) return Failure(problem);
  return WritePackage(options["-o"], package);
}

int Patch(std::vector<std::string> args) {
  const bool quiet = TakeQuiet(args);
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  std::string problem;
  if (!ParseOptions(args, {"--from", "--to", "--threads", "-o"}, options, positional, problem))
    return UsageError(problem);
  if (!positional.empty()) return UsageError("unexpected argument " + positional.front());
  for (const char* required : {"--from", "--to", "-o"})
    if (options[required].empty()) return UsageError(std::string("patch needs ") + required);
  setuppack::UpdateInputs inputs;
  inputs.basePath = options["--from"];
  inputs.nextPath = options["--to"];
  if (!ThreadCount(options, inputs.threads, problem)) return UsageError(problem);
  inputs.progress = !quiet;
  std::string package;
  if (!setuppack::BuildUpdate(inputs, package, problem)) return Failure(problem);
  return WritePackage(options["-o"], package);
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("list needs exactly one file");
  std::string problem;
  if (!setuppack::ListPackage(args[0], std::cout, problem)) return Failure(problem);
  return 0;
}

int Extract(const std::vector<std::string>& args) {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  std::string problem;
  if (!ParseOptions(args, {"--to"}, options, positional, problem)) return UsageError(problem);
  if (positional.size() != 1) return UsageError("extract needs exactly one file");
  if (options["--to"].empty()) return UsageError("extract needs --to DIR");
  if (!setuppack::ExtractPackage(positional[0], options["--to"], std::cout, problem)) return Failure(problem);
  return 0;
}

int Manifest(const std::vector<std::string>& args) {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  std::string problem;
  if (!ParseOptions(args, {"--id", "--url", "-o", "--license"}, options, positional, problem))
    return UsageError(problem);
  if (positional.size() != 1) return UsageError("manifest needs exactly one package");
  for (const char* required : {"--id", "--url", "-o"})
    if (options[required].empty()) return UsageError(std::string("manifest needs ") + required);
  setuppack::ManifestRequest request;
  request.packagePath = positional[0];
  request.identifier = options["--id"];
  request.url = options["--url"];
  request.outputFolder = options["-o"];
  if (!options["--license"].empty()) request.license = options["--license"];
  if (!setuppack::WriteWingetManifests(request, std::cout, problem)) return Failure(problem);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("no command given");
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "build") return Build(args);
    if (command == "patch") return Patch(args);
    if (command == "list") return List(args);
    if (command == "extract") return Extract(args);
    if (command == "manifest") return Manifest(args);
    if (command == "--help" || command == "-h" || command == "help") {
      std::cout << kUsage;
      return 0;
    }
  } catch (const std::bad_alloc&) {
    return Failure("out of memory");
  } catch (const std::exception& error) {
    return Failure(error.what());
  }
  return UsageError("unknown command " + command);
}
