// Runs the packer binary on temporary folders and checks its packages with
// the setup's own section reader and zlib helpers.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "package/ZstdHelpers.h"
#include "tests/support/common/TinyImage.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

std::string Quoted(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

RunResult RunSetuppack(const std::vector<std::string>& args) {
  std::string command = Quoted(SETUPPACK_PATH);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " 2>&1";
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  std::size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  return bytes;
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

class SetuppackTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("qsetuppack-" + std::to_string(random()));
    fs::create_directories(dir_ / "root");
    stub_ = "MZ\x90\x00 a stub image \xF7\xF7 with bytes " + RandomBytes(3000, 1);
    WriteAll(Path("stub.exe"), stub_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Builds with the standard inputs; the script and language data vary.
  RunResult Build(const std::string& script, const std::string* language = nullptr,
                  const std::string& output = "Setup.exe", const std::vector<std::string>& options = {}) {
    WriteAll(Path("setup.src"), script);
    std::vector<std::string> args = {"build", "--stub", Path("stub.exe"), "--script", Path("setup.src"),
                                     "--root", Path("root"), "-o", Path(output)};
    args.insert(args.begin() + 1, options.begin(), options.end());
    if (language) {
      WriteAll(Path("lang.txt"), *language);
      args.insert(args.end() - 2, {"--lng", Path("lang.txt")});
    }
    return RunSetuppack(args);
  }

  std::string Section(const std::string& package, const char* name) const {
    std::string_view payload;
    EXPECT_TRUE(ReadSectionIn(name, package, payload)) << name;
    return std::string(payload);
  }

  fs::path dir_;
  std::string stub_;
};

}  // namespace

TEST_F(SetuppackTest, BuildWritesThePackageTheSetupReads) {
  const std::string program = RandomBytes(200000, 2) + std::string(50000, 'z');
  const std::string readme = "Read me \"first\",\r\nplease.\n";
  WriteAll(dir_ / "root" / "bin" / "Quillon.exe", program);
  WriteAll(dir_ / "root" / "docs" / "readme.txt", readme);
  const std::string script =
      "action=path,RegistryKey=\\SOFTWARE\\Quillon,Version=2.1\n"
      "Filename=*PgmPath*\\Quillon.exe,action=save,source=bin/Quillon.exe\r\n"
      "\"Filename=*PgmPath*\\my docs\\read me.txt\",action=saveifnotexists,Stored=1,Source=docs\\readme.txt,Note=\"x\"\r"
      "action=uninst,\"Publisher=Q, Inc.\"\r\n";
  const std::string language = "DE=Ja\nEN=Yes \xE2\x9C\x93 \xF0\x9F\x98\x80\n";
  const RunResult run = Build(script, &language);
  ASSERT_EQ(run.exitCode, 0) << run.output;

  const std::string package = ReadAll(Path("Setup.exe"));
  ASSERT_EQ(package.compare(0, stub_.size(), stub_), 0);
  const std::string_view sections = std::string_view(package).substr(stub_.size());
  ASSERT_EQ(std::string(sections.substr(0, 27)), BuildSection(kSectionBeginningMark, ""));
  // The sections follow in their order and the last one ends the file.
  std::size_t length = 0;
  const std::size_t lng = FindSectionMarker(kSectionSetupLng, package, length);
  const std::size_t cmd = FindSectionMarker(kSectionSetupCmd, package, length);
  const std::size_t bin = FindSectionMarker(kSectionSetupBin, package, length);
  ASSERT_TRUE(stub_.size() < lng && lng < cmd && cmd < bin);
  const std::string binPayload = Section(package, kSectionSetupBin);
  EXPECT_EQ(bin - 1 + length + 4 + binPayload.size(), package.size());

  EXPECT_EQ(Section(package, kSectionSetupLng), Utf16Le(u"DE=Ja\nEN=Yes \u2713 \U0001F600\n"));

  const std::string programStream = CompressBytes(program, 3);
  const std::string cmdPayload = Section(package, kSectionSetupCmd);
  EXPECT_EQ(cmdPayload.substr(0, 2), "\x78\x9C");
  const std::string expectedScript =
      "action=path,RegistryKey=\\SOFTWARE\\Quillon,Version=2.1\r\n"
      "action=save,OrigLen=250000,ComprLen=" + std::to_string(programStream.size()) +
      ",Filename=*PgmPath*\\Quillon.exe\r\n"
      "action=saveifnotexists,OrigLen=" + std::to_string(readme.size()) +
      ",\"Filename=*PgmPath*\\my docs\\read me.txt\",\"Note=\"\"x\"\"\"\r\n"
      "action=uninst,\"Publisher=Q, Inc.\"\r\n";
  EXPECT_EQ(DecompressBytes(cmdPayload), expectedScript);

  // The packed data: the program's own stream at the strongest level, then
  // the read-me raw.
  EXPECT_EQ(binPayload.substr(0, 2), "\x78\x9C");
  const std::string packed = DecompressBytes(binPayload);
  ASSERT_EQ(packed.size(), programStream.size() + readme.size());
  EXPECT_EQ(packed.substr(0, 2), "\x78\xDA");
  EXPECT_EQ(DecompressBytes(packed.substr(0, programStream.size())), program);
  EXPECT_EQ(packed.substr(programStream.size()), readme);

  const RunResult extract = RunSetuppack({"extract", Path("Setup.exe"), "--to", Path("out")});
  ASSERT_EQ(extract.exitCode, 0) << extract.output;
  EXPECT_EQ(ReadAll(dir_ / "out" / "Setup.cmd"), expectedScript);
  EXPECT_EQ(ReadAll(dir_ / "out" / "Setup.lng"), Section(package, kSectionSetupLng));
  EXPECT_EQ(ReadAll(dir_ / "out" / "PgmPath" / "Quillon.exe"), program);
  EXPECT_EQ(ReadAll(dir_ / "out" / "PgmPath" / "my docs" / "read me.txt"), readme);
}

TEST_F(SetuppackTest, LanguageDataBecomesUtf16LeWithBom) {
  const std::string withBom = "\xEF\xBB\xBF" "FR=Fran\xC3\xA7" "ais\r\n";
  const std::string expected = Utf16Le(u"FR=Fran\u00E7ais\r\n");
  const std::string utf16 = Utf16Le(u"PL=\u0141\u00F3d\u017A\n");
  for (const auto& [input, wanted] : {std::pair{withBom, expected}, std::pair{utf16, utf16},
                                      std::pair{std::string(), std::string("\xFF\xFE")}}) {
    const RunResult run = Build("action=path,Version=1\n", &input);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Section(ReadAll(Path("Setup.exe")), kSectionSetupLng), wanted);
  }
  // Without --lng there is no language section at all.
  ASSERT_EQ(Build("action=path,Version=1\n").exitCode, 0);
  std::string_view payload;
  EXPECT_FALSE(ReadSectionIn(kSectionSetupLng, ReadAll(Path("Setup.exe")), payload));
}

TEST_F(SetuppackTest, ListShowsSectionsAndLines) {
  WriteAll(dir_ / "root" / "a.txt", "aaa");
  const std::string language = "DE=Ja\n";
  ASSERT_EQ(Build("action=save,Source=a.txt,Filename=C:\\a.txt\n", &language).exitCode, 0);
  const RunResult list = RunSetuppack({"list", Path("Setup.exe")});
  ASSERT_EQ(list.exitCode, 0) << list.output;
  EXPECT_NE(list.output.find("stub part " + std::to_string(stub_.size()) + " bytes"), std::string::npos);
  EXPECT_NE(list.output.find("Section:BeginningMark  0 bytes"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("Section:Setup.lng  14 bytes"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("Section:Setup.cmd"), std::string::npos);
  EXPECT_NE(list.output.find("action=save,OrigLen=3,ComprLen="), std::string::npos) << list.output;

  // An uninstaller as the setup writes it: stub, beginning mark, uninstall
  // information.
  const std::string information = "UninstallKey=Quillon 2009-12-01 14.05.09\r\nfile=C:\\P\\q.exe\r\ndir=C:\\P\r\n";
  WriteAll(Path("uninstall.exe"), stub_ + BuildSection(kSectionBeginningMark, "") +
                                       BuildSection(kSectionUninst, CompressBytes(information, 2)));
  const RunResult uninstaller = RunSetuppack({"list", Path("uninstall.exe")});
  ASSERT_EQ(uninstaller.exitCode, 0) << uninstaller.output;
  EXPECT_NE(uninstaller.output.find("Section:Uninst"), std::string::npos);
  EXPECT_NE(uninstaller.output.find("Uninst:\nUninstallKey=Quillon 2009-12-01 14.05.09\nfile=C:\\P\\q.exe\ndir=C:\\P\n"),
            std::string::npos)
      << uninstaller.output;

  const RunResult plain = RunSetuppack({"list", Path("stub.exe")});
  EXPECT_NE(plain.exitCode, 0);
  EXPECT_NE(plain.output.find("no setup sections"), std::string::npos) << plain.output;
}

TEST_F(SetuppackTest, BadInputIsRefusedWithoutOutput) {
  WriteAll(dir_ / "root" / "a.txt", "aaa");
  WriteAll(dir_ / "root" / "empty.txt", "");
  WriteAll(dir_ / "outside.txt", "secret");
  struct Case {
    std::string script;
    std::string expectedMessage;
  };
  const std::vector<Case> cases = {
      {"action=save,Source=missing.txt,Filename=C:\\m.txt\n", "file not found"},
      {"action=path,\"Version=1\naction=save,Source=a.txt,Filename=C:\\a.txt\n", "line 1: a quoted item is never closed"},
      {"action=save,Source=../outside.txt,Filename=C:\\o.txt\n", "outside --root"},
      {"action=save,Source=" + Path("outside.txt") + ",Filename=C:\\o.txt\n", "outside --root"},
      {"action=save,Source=sub\\..\\..\\outside.txt,Filename=C:\\o.txt\n", "outside --root"},
      {"action=save,Filename=C:\\a.txt\n", "without Source="},
      {"action=save,Source=a.txt\n", "without Filename="},
      {"action=save,Source=empty.txt,Filename=C:\\e.txt\n", "source file is empty"},
      {"action=save,Source=a.txt,OrigLen=3,Filename=C:\\a.txt\n", "written by the packer"},
      {"action=save,Source=a.txt,Stored=yes,Filename=C:\\a.txt\n", "Stored= must be 0 or 1"},
      {"action=path,Version=1\n\naction=uninst\n", "line 2: empty line"},
      {std::string("action=path,Version=1\n\0x\n", 25), "zero byte"},
  };
  for (const Case& c : cases) {
    const RunResult run = Build(c.script);
    EXPECT_NE(run.exitCode, 0) << c.script;
    EXPECT_NE(run.output.find(c.expectedMessage), std::string::npos) << c.script << "\n" << run.output;
    EXPECT_FALSE(fs::exists(Path("Setup.exe"))) << c.script;
  }

  const std::string badLanguage = "DE=\xC3(\n";
  RunResult run = Build("action=path,Version=1\n", &badLanguage);
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find("not valid UTF-8 (line 1"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(Path("Setup.exe")));

  // A package given as the stub.
  ASSERT_EQ(Build("action=path,Version=1\n", nullptr, "first.exe").exitCode, 0);
  run = RunSetuppack({"build", "--stub", Path("first.exe"), "--script", Path("setup.src"), "--root", Path("root"),
                      "-o", Path("Setup.exe")});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find("stub already carries sections"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(Path("Setup.exe")));

  run = RunSetuppack({"build", "--stub", Path("nostub.exe"), "--script", Path("setup.src"), "--root", Path("root"),
                      "-o", Path("Setup.exe")});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find("stub file not found"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(Path("Setup.exe")));

  run = RunSetuppack({"build", "--stub", Path("stub.exe"), "-o", Path("Setup.exe")});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.output.find("build needs --script"), std::string::npos) << run.output;
}

// Signing appends a certificate table (8-byte aligned) behind the last
// section and names it in the header. A signed stub is refused; a signed
// package still lists and extracts.
TEST_F(SetuppackTest, SignaturesBelongOnPackagesNotOnStubs) {
  using testsupport::TinyImage;
  WriteAll(dir_ / "root" / "a.txt", "aaa");
  WriteAll(Path("signed-stub.exe"), TinyImage(0x1234, 0x400, 0x10) + std::string(0x10, 'C'));
  WriteAll(Path("setup.src"), "action=save,Source=a.txt,Filename=C:\\a.txt\n");
  RunResult run = RunSetuppack({"build", "--stub", Path("signed-stub.exe"), "--script", Path("setup.src"), "--root",
                                Path("root"), "-o", Path("Setup.exe")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("stub carries a signature (a certificate table of 16 bytes)"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("sign the package"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(Path("Setup.exe")));

  WriteAll(Path("stub.exe"), TinyImage(0));
  ASSERT_EQ(Build("action=save,Source=a.txt,Filename=C:\\a.txt\n").exitCode, 0);
  std::string package = ReadAll(Path("Setup.exe"));
  package.append((8 - package.size() % 8) % 8, '\0');
  const std::string certificate = std::string("\x20\x00\x00\x00\x00\x02\x02\x00", 8) + RandomBytes(24, 3);
  testsupport::PutLe32(package, testsupport::kTinyImageCertEntryAt, static_cast<uint32_t>(package.size()));
  testsupport::PutLe32(package, testsupport::kTinyImageCertEntryAt + 4, static_cast<uint32_t>(certificate.size()));
  WriteAll(Path("Signed.exe"), package + certificate);

  const RunResult list = RunSetuppack({"list", Path("Signed.exe")});
  ASSERT_EQ(list.exitCode, 0) << list.output;
  EXPECT_NE(list.output.find("stub part 1024 bytes"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("certificate table (signature)  32 bytes"), std::string::npos) << list.output;
  EXPECT_EQ(list.output.find("not a section"), std::string::npos) << list.output;
  // Otherwise the same listing as before signing.
  const RunResult before = RunSetuppack({"list", Path("Setup.exe")});
  const std::string sections = before.output.substr(before.output.find('\n') + 1);
  EXPECT_NE(list.output.find(sections.substr(0, sections.find("Setup.cmd:"))), std::string::npos) << list.output;
  EXPECT_NE(list.output.find(sections.substr(sections.find("Setup.cmd:"))), std::string::npos) << list.output;
  run = RunSetuppack({"extract", Path("Signed.exe"), "--to", Path("out")});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(ReadAll(dir_ / "out" / "C" / "a.txt"), "aaa");
}

TEST_F(SetuppackTest, ExtractRefusesDamagedOrUnsafePackages) {
  auto package = [&](const std::string& script, const std::string& packed) {
    WriteAll(Path("bad.exe"), stub_ + BuildSection(kSectionBeginningMark, "") +
                                  BuildSection(kSectionSetupCmd, CompressBytes(script, 2)) +
                                  BuildSection(kSectionSetupBin, CompressBytes(packed, 2)));
    return RunSetuppack({"extract", Path("bad.exe"), "--to", Path("out")});
  };

  RunResult run = package("action=save,OrigLen=4,Filename=*PgmPath*\\..\\..\\escape.txt\r\n", "evil");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find("cannot be extracted safely"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(dir_ / "escape.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "out"));

  run = package("action=save,OrigLen=4,Filename=C:\\a.txt\r\naction=save,OrigLen=9,Filename=C:\\b.txt\r\n", "aaaabbb");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find("data error in C:\\b.txt"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(dir_ / "out"));

  run = package("action=save,OrigLen=4,ComprLen=4,Filename=C:\\a.txt\r\n", "junk");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find("damaged"), std::string::npos) << run.output;

  WriteAll(Path("cut.exe"), stub_ + BuildSection(kSectionBeginningMark, "") +
                                BuildSection(kSectionSetupCmd, CompressBytes("action=path\r\n", 2).substr(0, 6)));
  run = RunSetuppack({"list", Path("cut.exe")});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find("Section:Setup.cmd is damaged"), std::string::npos) << run.output;
}

namespace {

// The whole frame decoded as the setup decodes it.
std::string DecodeZstd(std::string_view frame) {
  ZstdDecodeStream decoder;
  std::string out(std::size_t{1} << 20, '\0');
  std::size_t produced = 0;
  while (!decoder.Ended()) {
    if (out.size() - produced < (std::size_t{1} << 16)) out.resize(out.size() * 2);
    produced += decoder.Decode(frame, &out[produced], out.size() - produced, true);
  }
  out.resize(produced);
  return out;
}

// Many files of text that repeats across files and random bytes that do
// not, in more than one packing batch; one stored raw.
std::string MakeTree(const fs::path& root, std::vector<std::string>& contents) {
  std::string script = "action=path,Version=1\r\n";
  const std::string words = "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda ";
  for (int i = 0; i < 600; ++i) {
    std::string data;
    if (i % 2 == 0) {
      for (int k = 0; k < 40 + i % 17; ++k) data += words.substr(static_cast<std::size_t>(k * 7 % 50)) + std::to_string(k);
    } else {
      data = RandomBytes(1000 + static_cast<std::size_t>(i) * 37, static_cast<unsigned>(i));
    }
    const std::string name = "d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".bin";
    WriteAll(root / name, data);
    contents.push_back(data);
    script += "action=save,Source=" + name + ",Filename=*PgmPath*\\" + name + (i == 5 ? ",Stored=1" : "") + "\r\n";
  }
  // One file larger than a packing batch's file count allows alone.
  const std::string big = RandomBytes(3 << 19, 99) + std::string(1 << 20, 'q');
  WriteAll(root / "big.bin", big);
  contents.push_back(big);
  return script + "action=save,Source=big.bin,Filename=*PgmPath*\\big.bin\r\naction=uninst,name=Q\r\n";
}

}  // namespace

// Both codecs, packed on one thread and on several: the same bytes, files
// that extract as they went in, and for zlib no second deflate over the
// files' own streams.
TEST_F(SetuppackTest, BothCodecsPackTheSameBytesOnAnyNumberOfThreads) {
  std::vector<std::string> contents;
  const std::string script = MakeTree(dir_ / "root", contents);
  std::size_t zlibSize = 0;
  for (const char* codec : {"zlib", "zstd"}) {
    SCOPED_TRACE(codec);
    const RunResult one = Build(script, nullptr, "one.exe", {"--codec", codec, "--threads", "1"});
    ASSERT_EQ(one.exitCode, 0) << one.output;
    const RunResult four = Build(script, nullptr, "four.exe", {"--codec", codec, "--threads", "4"});
    ASSERT_EQ(four.exitCode, 0) << four.output;
    const std::string package = ReadAll(Path("one.exe"));
    EXPECT_TRUE(package == ReadAll(Path("four.exe"))) << "the packages differ";

    const std::string shipped = DecompressBytes(Section(package, kSectionSetupCmd));
    std::string_view payload;
    std::string packed;
    if (std::string(codec) == "zstd") {
      std::string_view ignored;
      EXPECT_FALSE(ReadSectionIn(kSectionSetupBin, package, ignored));
      ASSERT_TRUE(ReadSectionIn(kSectionSetupZst, package, payload));
      EXPECT_EQ(shipped.find("ComprLen="), std::string::npos) << "zstd stores every file in its frame";
      packed = DecodeZstd(payload);
      std::string all;
      for (const std::string& data : contents) all += data;
      EXPECT_TRUE(packed == all);
      // The text repeats across files: one frame over all of it is smaller
      // than zlib's file by file.
      EXPECT_LT(payload.size(), zlibSize);
    } else {
      std::string_view ignored;
      EXPECT_FALSE(ReadSectionIn(kSectionSetupZst, package, ignored));
      ASSERT_TRUE(ReadSectionIn(kSectionSetupBin, package, payload));
      EXPECT_EQ(payload.substr(0, 2), "\x78\x9C");
      packed = DecompressBytes(payload);
      zlibSize = payload.size();
      // Stored blocks cost 5 bytes per 64 KiB, and the raw file is deflated.
      EXPECT_LE(payload.size(), packed.size() + packed.size() / 1000 + 64);
      EXPECT_NE(shipped.find("ComprLen="), std::string::npos);
      EXPECT_NE(shipped.find(",OrigLen=" + std::to_string(contents[5].size()) + ",Filename=*PgmPath*\\d5/f5.bin"),
                std::string::npos)
          << "the Stored=1 file has no ComprLen";
    }

    fs::remove_all(dir_ / "out");
    const RunResult extract = RunSetuppack({"extract", Path("one.exe"), "--to", Path("out")});
    ASSERT_EQ(extract.exitCode, 0) << extract.output;
    EXPECT_EQ(extract.output.find("warning"), std::string::npos) << extract.output;
    for (std::size_t i = 0; i < 600; ++i) {
      const std::string name = "d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".bin";
      ASSERT_TRUE(ReadAll(dir_ / "out" / "PgmPath" / name) == contents[i]) << name;
    }
    EXPECT_TRUE(ReadAll(dir_ / "out" / "PgmPath" / "big.bin") == contents.back());
    const RunResult list = RunSetuppack({"list", Path("one.exe")});
    ASSERT_EQ(list.exitCode, 0) << list.output;
    EXPECT_NE(list.output.find(std::string(codec) == "zstd" ? "Section:Setup.zst  " : "Section:Setup.bin  "),
              std::string::npos);
    EXPECT_NE(list.output.find("action=save,OrigLen=" + std::to_string(contents[0].size())), std::string::npos);
  }

  // A damaged frame is refused by extract before any file is written.
  std::string package = ReadAll(Path("one.exe"));
  package[package.size() - 2] ^= 0x40;
  WriteAll(Path("damaged.exe"), package);
  fs::remove_all(dir_ / "out");
  const RunResult damaged = RunSetuppack({"extract", Path("damaged.exe"), "--to", Path("out")});
  EXPECT_NE(damaged.exitCode, 0);
  EXPECT_NE(damaged.output.find("Section:Setup.zst is damaged: zstd: "), std::string::npos) << damaged.output;
  EXPECT_FALSE(fs::exists(dir_ / "out" / "PgmPath"));

  // Errors are those of one thread: the first failing line in script order.
  fs::remove(dir_ / "root" / "d3" / "f10.bin");
  fs::remove(dir_ / "root" / "d2" / "f500.bin");
  const RunResult missing = Build(script, nullptr, "none.exe", {"--threads", "4"});
  EXPECT_NE(missing.exitCode, 0);
  EXPECT_NE(missing.output.find("line 12: source"), std::string::npos) << missing.output;
  EXPECT_FALSE(fs::exists(Path("none.exe")));
  EXPECT_NE(Build(script, nullptr, "none.exe", {"--codec", "lzma"}).exitCode, 0);
  EXPECT_NE(Build(script, nullptr, "none.exe", {"--threads", "0"}).exitCode, 0);
}

TEST_F(SetuppackTest, PatchMakesOneUpdateForAnyThreadsAndShowsProgressOnlyOnATerminal) {
  WriteAll(dir_ / "root" / "same.bin", RandomBytes(40000, 2));
  WriteAll(dir_ / "root" / "prog.bin", RandomBytes(40000, 3));
  const std::string base = "action=path,Version=2.5\r\n"
                           "action=save,Source=same.bin,Filename=*PgmPath*\\same.bin\r\n"
                           "action=save,Source=prog.bin,Filename=*PgmPath*\\prog.bin\r\n";
  ASSERT_EQ(Build(base, nullptr, "base.exe").exitCode, 0);
  WriteAll(dir_ / "root" / "prog.bin", RandomBytes(40000, 3).insert(20000, "a change"));
  WriteAll(dir_ / "root" / "new.bin", RandomBytes(100, 4));
  const std::string next = "action=path,Version=2.6\r\n"
                           "action=save,Source=same.bin,Filename=*PgmPath*\\same.bin\r\n"
                           "action=save,Source=prog.bin,Filename=*PgmPath*\\prog.bin\r\n"
                           "action=save,Source=new.bin,Filename=*PgmPath*\\new.bin\r\n";
  // Through a terminal the build shows its progress; --quiet and a pipe show none.
  WriteAll(Path("setup.src"), next);
  const std::string build = std::string(SETUPPACK_PATH) + " build --stub " + Path("stub.exe") + " --script " +
                            Path("setup.src") + " --root " + Path("root") + " -o " + Path("next.exe");
  RunResult terminal;
  for (const char* quiet : {"", " --quiet"}) {
    const std::string command = "script -qec " + Quoted(build + quiet) + " /dev/null 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    char buffer[4096];
    std::string output;
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    EXPECT_EQ(pclose(pipe), 0) << output;
    EXPECT_EQ(output.find("3/3 files") != std::string::npos, *quiet == '\0') << output;
  }
  const RunResult piped = Build(next, nullptr, "next.exe");
  EXPECT_EQ(piped.output.find("files"), std::string::npos) << piped.output;

  const RunResult one = RunSetuppack({"patch", "--from", Path("base.exe"), "--to", Path("next.exe"), "--threads",
                                      "1", "-o", Path("one.exe")});
  ASSERT_EQ(one.exitCode, 0) << one.output;
  ASSERT_EQ(RunSetuppack({"patch", "--threads", "4", "--from", Path("base.exe"), "--to", Path("next.exe"), "-o",
                          Path("four.exe")}).exitCode, 0);
  EXPECT_TRUE(ReadAll(Path("one.exe")) == ReadAll(Path("four.exe")));
  const RunResult list = RunSetuppack({"list", Path("one.exe")});
  EXPECT_NE(list.output.find("Section:Setup.dlt"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("Version=2.6,BaseVersion=2.5"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("Update of version 2.5:\n  unchanged  *PgmPath*\\same.bin\n  patched ("),
            std::string::npos) << list.output;
  EXPECT_NE(list.output.find("whole (100 bytes)  *PgmPath*\\new.bin"), std::string::npos) << list.output;
  // An update is no base, and winget gets full packages only.
  const RunResult again = RunSetuppack({"patch", "--from", Path("one.exe"), "--to", Path("next.exe"), "-o", Path("x.exe")});
  EXPECT_NE(again.output.find("is an update itself"), std::string::npos) << again.output;
  const RunResult manifest = RunSetuppack({"manifest", Path("one.exe"), "--id", "Q.Q", "--url", "https://x/u.exe",
                                           "-o", Path("m")});
  EXPECT_NE(manifest.exitCode, 0);
  EXPECT_NE(manifest.output.find("is an update"), std::string::npos) << manifest.output;
}
