// The packer's differ and the setup's patcher together: what one makes the
// other turns back into the later file, and a damaged patch is refused.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include <zstd.h>

#include "BinaryDiff.h"
#include "package/BinaryPatch.h"

namespace {

class TextBase : public PatchBase {
public:
  explicit TextBase(std::string bytes, bool readable = true) : bytes_(std::move(bytes)), readable_(readable) {}
  uint64_t Size() override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, char* out, std::size_t size) override {
    if (!readable_ || offset + size > bytes_.size()) return false;
    bytes_.copy(out, size, offset);
    return true;
  }

private:
  std::string bytes_;
  bool readable_;
};

std::string Random(std::size_t n, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(n, '\0');
  // Few distinct values, like code: matches of every length occur.
  for (char& c : bytes) c = static_cast<char>(generator() % 16);
  return bytes;
}

// A rebuilt program in miniature: blocks moved, a few bytes changed in many
// places (addresses), some inserted and some removed.
std::string Edited(const std::string& base, unsigned seed) {
  std::mt19937 generator(seed);
  std::string edited = base.substr(base.size() / 2) + base.substr(0, base.size() / 2);
  for (int i = 0; i < 200; ++i) edited[generator() % edited.size()] ^= 0x40;
  edited.insert(generator() % edited.size(), Random(3000, seed + 1));
  edited.erase(generator() % (edited.size() - 500), 500);
  return edited;
}

bool Apply(const std::string& patch, const std::string& base, std::string& result, std::string& problem) {
  TextBase reader(base);
  return ApplyBinaryPatch(patch, reader, result, problem);
}

std::string Frame(const std::string& bytes) {
  std::string out(ZSTD_compressBound(bytes.size()), '\0');
  out.resize(ZSTD_compress(&out[0], out.size(), bytes.data(), bytes.size(), 3));
  return out;
}

// A patch made by hand from its five streams, for cases the differ never makes.
std::string Handmade(uint64_t baseSize, uint64_t newSize, const std::vector<std::string>& streams) {
  PatchLayout layout{baseSize, newSize, {}};
  std::string frames;
  for (int i = 0; i < kPatchStreams; ++i) {
    const std::string frame = streams[i].empty() ? std::string() : Frame(streams[i]);
    layout.lengths[i] = frame.size();
    frames += frame;
  }
  return PatchHeaderBytes(layout) + frames;
}
std::string Handmade(uint64_t baseSize, uint64_t newSize, const std::string& steps, const std::string& differences,
                     const std::string& extra) {
  std::vector<std::string> streams = {steps, "", "", "", extra};
  SplitDifferences(differences, streams[kPatchGaps], streams[kPatchFirst], streams[kPatchFollow]);
  return Handmade(baseSize, newSize, streams);
}

TEST(BinaryPatchTest, RoundTripsAndAnEditIsSmall) {
  const std::string base = Random(200000, 1);
  const std::string edited = Edited(base, 2);
  const std::pair<std::string, std::string> pairs[] = {
      {base, edited}, {base, base}, {"", "new file"}, {base, ""}, {"x", Random(5000, 3)}, {Random(7000, 4), base}};
  for (const auto& [from, to] : pairs) {
    const std::string patch = setuppack::MakeBinaryPatch(from, to);
    EXPECT_EQ(patch, setuppack::MakeBinaryPatch(from, to)) << "the same bytes every time";
    std::string result, problem;
    ASSERT_TRUE(Apply(patch, from, result, problem)) << problem;
    EXPECT_TRUE(result == to) << from.size() << " -> " << to.size();
  }
  // 200 scattered changes, a moved half, 3000 new bytes: the new bytes and
  // little more, where compressing the whole file takes about half of it.
  EXPECT_LT(setuppack::MakeBinaryPatch(base, edited).size(), 3000 / 2 + 2000u);
}

TEST(BinaryPatchTest, RefusesDamagedPatchesAndOtherBases) {
  const std::string base = Random(20000, 5);
  const std::string patch = setuppack::MakeBinaryPatch(base, Edited(base, 6));
  std::string result, problem;
  for (std::size_t cut = 0; cut < patch.size(); ++cut) {
    EXPECT_FALSE(Apply(patch.substr(0, cut), base, result, problem)) << cut;
    EXPECT_TRUE(result.empty() && !problem.empty());
  }
  EXPECT_FALSE(Apply(patch + "x", base, result, problem));
  // Any flipped byte: mostly refused (the frames carry checksums, but not
  // every header bit matters), never a crash.
  for (std::size_t at = 0; at < patch.size(); ++at) {
    std::string damaged = patch;
    damaged[at] ^= 0x01;
    if (!Apply(damaged, base, result, problem)) {
      EXPECT_TRUE(result.empty() && !problem.empty());
    }
  }
  EXPECT_FALSE(Apply(patch, base + "x", result, problem)) << "a base of another size";
  TextBase unreadable(base, false);
  EXPECT_FALSE(ApplyBinaryPatch(patch, unreadable, result, problem));
  EXPECT_EQ(problem, "the earlier file cannot be read");
}

TEST(BinaryPatchTest, RefusesStepsOutsideTheirFiles) {
  const std::string base = "0123456789";
  auto steps = [](uint64_t add, uint64_t copy, int64_t seek) {
    std::string s;
    AppendPatchStep(s, add, copy, seek);
    return s;
  };
  std::string result, problem;
  // Sound: 4 bytes from 0, then 2 new, then back to 0 for 4 more, three
  // of them changed (a gap longer than 255 is no case here: see the round trips).
  ASSERT_TRUE(Apply(Handmade(10, 10, steps(4, 2, -4) + steps(4, 0, 0), std::string("\0\0\0\0\1\0\2\3", 8), "ab"),
                    base, result, problem)) << problem;
  EXPECT_EQ(result, "0123ab1146");
  const std::pair<std::string, const char*> bad[] = {
      {Handmade(10, 5, steps(11, 0, 0), std::string(11, '\0'), ""), "past the file's end"},
      {Handmade(10, 12, steps(0, 0, 5) + steps(6, 0, 0) + steps(6, 0, 0), std::string(12, '\0'), ""),
       "outside the earlier file"},
      {Handmade(10, 4, steps(0, 0, -1) + steps(4, 0, 0), std::string(4, '\0'), ""), "outside the earlier file"},
      {Handmade(10, 4, steps(2, 0, 0), std::string(2, '\0'), ""), "steps end"},
      // A gap without its difference, a difference of 0, a gap cut off.
      {Handmade(10, 4, {steps(4, 0, 0), "\x01", "", "", ""}), "differences are damaged"},
      {Handmade(10, 4, {steps(4, 0, 0), std::string(1, '\0'), "", std::string(1, '\0'), ""}),
       "differences are damaged"},
      {Handmade(10, 4, {steps(4, 0, 0), "\xFF", "\x01", "", ""}), "differences are damaged"},
      {Handmade(10, 4, steps(0, 4, 0), "", "ab"), "new bytes end"},
      {Handmade(10, 2, steps(2, 0, 0), std::string("\0\0\1\1", 4), ""), "more than its file"},
      {Handmade(10, uint64_t{1} << 40, steps(1, 0, 0), "", ""), "impossible size"},
  };
  for (const auto& [patch, why] : bad) {
    EXPECT_FALSE(Apply(patch, base, result, problem)) << why;
    EXPECT_NE(problem.find(why), std::string::npos) << problem;
  }
}

}  // namespace
