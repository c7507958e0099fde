// Started without arguments: the tests. Started as
//   package_win32_tests --report-sections REPORT
// (by the tests, on a copy of itself with sections appended): loads its own
// sections, requiring its own image's file as the elevated copy does, and
// writes what it found to REPORT.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <sstream>

#include "package/WholeFiles.h"
#include "package/Sections.h"
#include "platform/Files.h"
#include "platform/OwnFileCheck.h"
#include "platform/Process.h"

namespace {

const char* const kAllNames[] = {kSectionBeginningMark, kSectionSetupLng, kSectionSetupCmd, kSectionSetupBin,
                                 kSectionUninst};

// The payload the tests append for each section name; the child compares
// what it reads against the same function.
ByteString ExpectedPayload(const ByteString& name) {
  if (name == kSectionSetupLng) return ByteString("\xFF\xFE" "D\0E\0=\0J\0a\0", 12);
  if (name == kSectionSetupCmd) return "mentions Section:BeginningMark in plain text";
  if (name == kSectionSetupBin) {
    ByteString big(1 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) ^ (i >> 9));
    return big;
  }
  if (name == kSectionUninst) return ByteString("\xF7\x00\xF7", 3);
  return ByteString();
}

int ReportOwnSections(const ByteString& reportPath) {
  RequireOwnImageFile();
  LoadOwnSections();
  std::ostringstream report;
  report << "state=" << static_cast<int>(SectionsState()) << "\n"
         << "stub=" << StubPart().size() << "\n"
         << "ownsize=" << FileSizeOf(platform::ModuleFileName()) << "\n";
  for (const char* name : kAllNames) {
    ByteString payload;
    const bool found = ReadOwnSection(name, payload);
    report << name << "=" << (found ? "found" : "missing") << ","
           << (payload == ExpectedPayload(name) ? "same" : "different") << "\n";
  }
  const ByteString text = report.str();
  return platform::WriteNewFile(reportPath, text.data(), text.size()) ? 0 : 3;
}

class TempDir {
public:
  TempDir() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    path_ = ByteString(base) + "qpkgw32-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempDir() {
    // The folder holds plain files only.
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const ByteString name = data.cFileName;
        if (name == "." || name == "..") continue;
        const ByteString full = path_ + "\\" + name;
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveDirectoryA(full.c_str());
        else DeleteFileA(full.c_str());
      } while (FindNextFileA(find, &data));
      FindClose(find);
    }
    RemoveDirectoryA(path_.c_str());
  }
  ByteString Path(const ByteString& name) const { return path_ + "\\" + name; }
private:
  ByteString path_;
};

ByteString OwnImage() {
  ByteString image;
  EXPECT_TRUE(ReadWholeFile(platform::ModuleFileName(), image));
  return image;
}

bool Write(const ByteString& path, const ByteString& bytes) {
  return platform::WriteNewFile(path, bytes.data(), bytes.size());
}

// Starts `exe --report-sections report`, waits, and returns the report's
// name=value lines (empty when the child failed).
std::map<ByteString, ByteString> RunChild(const ByteString& exe, const ByteString& report) {
  ByteString commandLine = "\"" + exe + "\" --report-sections \"" + report + "\"";
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  std::map<ByteString, ByteString> values;
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    ADD_FAILURE() << "CreateProcessA failed: " << GetLastError();
    return values;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(exitCode, 0u);

  ByteString text;
  EXPECT_TRUE(ReadWholeFile(report, text));
  std::istringstream lines(text);
  ByteString line;
  while (std::getline(lines, line)) {
    const std::size_t eq = line.find('=');
    if (eq != ByteString::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

class OwnSectionsWin32 : public ::testing::Test {
protected:
  void TearDown() override {
    ResetOwnSections();
    SetOwnFilePathForTests("");
  }
  TempDir temp_;
};

}  // namespace

TEST_F(OwnSectionsWin32, CopyWithSectionsFindsEachOfThem) {
  const ByteString image = OwnImage();
  std::size_t length = 0;
  ASSERT_EQ(FindSectionMarker(kSectionBeginningMark, image, length), 0u) << "the image carries the marker";

  ByteString copy = image;
  for (const char* name : kAllNames) copy += BuildSection(name, ExpectedPayload(name));
  const ByteString exe = temp_.Path("packed.exe");
  ASSERT_TRUE(Write(exe, copy));

  auto report = RunChild(exe, temp_.Path("packed.txt"));
  EXPECT_EQ(report["state"], "1");
  EXPECT_EQ(report["ownsize"], std::to_string(copy.size()));
  EXPECT_EQ(report["stub"], std::to_string(image.size()));
  for (const char* name : kAllNames) EXPECT_EQ(report[name], "found,same") << name;
}

TEST_F(OwnSectionsWin32, CopyWithoutBeginningMarkFindsNothing) {
  const ByteString image = OwnImage();
  ByteString copy = image;
  for (const char* name : kAllNames)
    if (ByteString(name) != kSectionBeginningMark) copy += BuildSection(name, ExpectedPayload(name));
  const ByteString exe = temp_.Path("unmarked.exe");
  ASSERT_TRUE(Write(exe, copy));

  auto report = RunChild(exe, temp_.Path("unmarked.txt"));
  EXPECT_EQ(report["state"], "1");
  EXPECT_EQ(report["stub"], std::to_string(copy.size()));
  for (const char* name : kAllNames) EXPECT_EQ(report[name].substr(0, 8), "missing,") << name;
}

TEST_F(OwnSectionsWin32, LoadAfterAFailedLoadReadsAgain) {
  SetOwnFilePathForTests(temp_.Path("not-there.exe"));
  LoadOwnSections();
  EXPECT_EQ(SectionsState(), kSectionsLoadFailed);

  const ByteString packed = "stub" + BuildSection(kSectionBeginningMark, "") + BuildSection(kSectionUninst, "info");
  ASSERT_TRUE(Write(temp_.Path("later.exe"), packed));
  SetOwnFilePathForTests(temp_.Path("later.exe"));
  LoadOwnSections();
  EXPECT_EQ(SectionsState(), kSectionsLoaded);
  EXPECT_EQ(StubPart(), "stub");
  ByteString payload;
  ASSERT_TRUE(ReadOwnSection(kSectionUninst, payload));
  EXPECT_EQ(payload, "info");
}

// The running test program's file, opened by its name, is its image's file;
// the same bytes elsewhere, or other bytes, are not (the test program is
// unsigned: the signature's part is the signed e2e test's).
TEST_F(OwnSectionsWin32, OnlyTheRunningImagesFilePassesTheCheck) {
  const auto verdictOf = [](const ByteString& path) {
    const platform::ReadHandle file = platform::OpenForReading(path);
    EXPECT_NE(file, 0u) << path;
    const platform::OwnFileVerdict verdict = platform::CheckOwnFile(file);
    platform::CloseReading(file);
    return verdict;
  };
  const ByteString image = OwnImage();
  ASSERT_TRUE(Write(temp_.Path("same.exe"), image));
  ASSERT_TRUE(Write(temp_.Path("other.exe"), image + BuildSection(kSectionBeginningMark, "")));
  EXPECT_EQ(verdictOf(platform::ModuleFileName()), platform::OwnFileVerdict::Same);
  EXPECT_EQ(verdictOf(temp_.Path("same.exe")), platform::OwnFileVerdict::NotTheImagesFile);
  EXPECT_EQ(verdictOf(temp_.Path("other.exe")), platform::OwnFileVerdict::NotTheImagesFile);

  // Required, a refused file yields nothing, and no later load opens it again.
  RequireOwnImageFile();
  SetOwnFilePathForTests(temp_.Path("other.exe"));
  LoadOwnSections();
  EXPECT_EQ(SectionsState(), kSectionsRefused);
  EXPECT_EQ(OwnFileRefusal(), platform::OwnFileVerdict::NotTheImagesFile);
  SetOwnFilePathForTests(platform::ModuleFileName());
  LoadOwnSections();
  EXPECT_EQ(SectionsState(), kSectionsRefused);
  EXPECT_TRUE(StubPart().empty());
}

TEST(SetupStubImage, CarriesNoSectionMarker) {
#ifdef SETUP_STUB_PATH
  ByteString stub;
  if (!ReadWholeFile(SETUP_STUB_PATH, stub)) GTEST_SKIP() << "the stub is not built: " << SETUP_STUB_PATH;
  std::size_t length = 0;
  EXPECT_EQ(FindSectionMarker(kSectionBeginningMark, stub, length), 0u);
#else
  GTEST_SKIP() << "no stub in this build";
#endif
}

TEST_F(OwnSectionsWin32, FileServicesOfTheSeam) {
  const ByteString folder = temp_.Path("sub");
  ASSERT_TRUE(platform::MakeDirectory(folder));
  EXPECT_FALSE(platform::MakeDirectory(folder));
  EXPECT_EQ(platform::FileAttributesOf(folder) & platform::kAttrDirectory, platform::kAttrDirectory);
  EXPECT_EQ(FileSizeOf(folder), 0);
  EXPECT_EQ(platform::FileAttributesOf(temp_.Path("none")), platform::kInvalidFileAttributes);

  ASSERT_TRUE(Write(folder + "\\b.log", "bb"));
  ASSERT_TRUE(Write(folder + "\\a.log", "a"));
  ASSERT_TRUE(Write(folder + "\\empty.txt", ""));
  EXPECT_EQ(FileSizeOf(folder + "\\b.log"), 2);
  EXPECT_EQ(FileSizeOf(folder + "\\empty.txt"), 0);
  EXPECT_EQ(platform::SizeOfFile(folder + "\\b.log"), 2);
  EXPECT_EQ(platform::SizeOfFile(folder), 0);
  EXPECT_EQ(platform::SizeOfFile(folder + "\\none"), -1);
  platform::FindData data;
  ASSERT_TRUE(FindFileProbe(folder + "\\*.log", data));
  EXPECT_TRUE(data.name == "a.log" || data.name == "b.log") << data.name;
  EXPECT_FALSE(FindFileProbe(folder + "\\*.none", data));
  ByteString contents = "old";
  EXPECT_FALSE(ReadWholeFile(folder + "\\empty.txt", contents));
  EXPECT_TRUE(contents.empty());

  // A file held open without sharing can be neither read nor replaced.
  const ByteString held = folder + "\\held.bin";
  ASSERT_TRUE(Write(held, "locked bytes"));
  const HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  contents = "old";
  EXPECT_FALSE(ReadWholeFile(held, contents));
  EXPECT_TRUE(contents.empty());
  EXPECT_FALSE(Write(held, "new"));
  CloseHandle(handle);
  ASSERT_TRUE(ReadWholeFile(held, contents));
  EXPECT_EQ(contents, "locked bytes");

  // Read-only files stay; folders go only when empty.
  ASSERT_TRUE(platform::ChangeFileAttributes(held, platform::kAttrReadOnly));
  EXPECT_TRUE(platform::FileAttributesOf(held) & platform::kAttrReadOnly);
  EXPECT_FALSE(platform::RemoveFile(held));
  EXPECT_FALSE(platform::RemoveEmptyDirectory(folder));
  ASSERT_TRUE(platform::ChangeFileAttributes(held, platform::kAttrNormal));
  for (const char* name : {"\\held.bin", "\\a.log", "\\b.log", "\\empty.txt"})
    EXPECT_TRUE(platform::RemoveFile(folder + name)) << name;
  EXPECT_TRUE(platform::RemoveEmptyDirectory(folder));
  EXPECT_EQ(FileSizeOf(folder), -1);
}

int main(int argc, char** argv) {
  if (argc == 3 && ByteString(argv[1]) == "--report-sections") return ReportOwnSections(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
