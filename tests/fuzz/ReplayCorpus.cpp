// The main of a fuzz target built without libFuzzer: every file of the
// folders named on the command line goes once through the target, as
// libFuzzer would hand it over. A failed check aborts (FuzzSupport's Fail);
// a folder without a single input is a failure too, so that a corpus that
// went missing cannot pass.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  for (int i = 1; i < argc; ++i) {
    std::vector<fs::path> inputs;
    for (const auto& entry : fs::directory_iterator(argv[i]))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    if (inputs.empty()) {
      std::fprintf(stderr, "%s: no inputs\n", argv[i]);
      return 1;
    }
    for (const fs::path& input : inputs) {
      std::ifstream in(input, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::printf("%s (%zu bytes)\n", input.string().c_str(), bytes.size());
      std::fflush(stdout);
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
  }
  return argc > 1 ? 0 : 1;
}
