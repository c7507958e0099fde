// The script driver against the fakes: which lines run, the setup log, the
// result, and what happens after a full run.
#include <filesystem>

#include "engine/EngineErrors.h"
#include "engine/ErrorList.h"
#include "engine/PackedData.h"
#include "engine/PackedStream.h"
#include "engine/ScriptInterpreter.h"
#include "package/ZLibHelpers.h"
#include "tests/unit/engine/EngineFixture.h"

namespace enginetest {
namespace {

using platform::Hive;

class ScriptRun : public EngineTest {};

TEST_F(ScriptRun, StopsAtUnknownActionAndLogsTheExecutedLines) {
  UseScript("action=path,Version=1.0\r\n"
            "action=path,Lng=FR\r\n"
            "action=unknown,x=1\r\n"
            "action=path,PgmPath=C:\\Never\r\n");
  EXPECT_FALSE(RunSetupScript(false));
  EXPECT_EQ(SetupLog(),
            "action=path,Version=1.0\r\n"
            "action=path,Lng=FR\r\n"
            "action=unknown,x=1\r\n"
            "Errors: Command failed: action=unknown,x=1; \r\n"
            "Undone: every change of this run\r\n");
  EXPECT_EQ(Version, "1.0");
  EXPECT_EQ(Lng, "FR");
  EXPECT_EQ(PgmPath, "");  // the fourth line never ran
}

TEST_F(ScriptRun, PathOnlyRunSkipsOtherActionsAndCapitalPath) {
  const ByteString script = "action=Path,Version=9\r\n"
                            "action=unknown\r\n"
                            "\r\n"
                            "action=path,Version=2.0\r\n";
  UseScript(script);
  EXPECT_TRUE(RunSetupScript(true));
  EXPECT_EQ(Version, "2.0");
  EXPECT_FALSE(testsupport::FileExistsOnHost(Host("C:\\Setup.log")));
  // The full run fails at once on "Path".
  EXPECT_FALSE(RunSetupScript(false));
  EXPECT_EQ(SetupLog(), "action=Path,Version=9\r\nErrors: Command failed: action=Path,Version=9; \r\n"
                        "Undone: every change of this run\r\n");
}

TEST_F(ScriptRun, EmptyLineFailsAFullRun) {
  UseScript("action=path,Version=1\r\n\r\naction=path,Version=2\r\n");
  EXPECT_FALSE(RunSetupScript(false));
  EXPECT_EQ(SetupLog(), "action=path,Version=1\r\n\r\nErrors: Command failed: ; \r\nUndone: every change of this run\r\n");
  EXPECT_EQ(Version, "1");
}

TEST_F(ScriptRun, ErrorOfThePathOnlyRunMakesALaterCleanRunFail) {
  // *DataPath* has no value yet: recorded, but the command succeeds.
  UseScript("action=path,PgmPath=*DataPath*\\Q\r\n");
  EXPECT_FALSE(RunSetupScript(true));
  EXPECT_EQ(PgmPath, "\\Q\\");
  EXPECT_EQ(SetupLog(), "action=path,PgmPath=*DataPath*\\Q\r\nErrors: no def for *DataPath*; \r\n");
  PgmPath = "C:\\Quillon\\";
  EXPECT_FALSE(RunSetupScript(false));
  EXPECT_EQ(SetupLog(), "action=path,PgmPath=*DataPath*\\Q\r\nErrors: no def for *DataPath*; \r\n"
                        "Undone: every change of this run\r\n");
}

TEST_F(ScriptRun, CleanRunLeavesAnOlderLogAlone) {
  ASSERT_TRUE(testsupport::WriteHostFile(Host("C:\\Setup.log"), "older log"));
  UseScript("action=path,Version=3.1");  // no line end after the last line
  EXPECT_TRUE(RunSetupScript(false));
  EXPECT_EQ(Version, "3.1");
  EXPECT_EQ(SetupLog(), "older log");
}

TEST_F(ScriptRun, FullRunStoresExecAndDataPathOnlyWhenItSucceeds) {
  UseScript("action=path,Registry=Quillon,DataPath=C:\\QData\r\naction=broken\r\n");
  Exec = "C:\\Quillon\\Quillon.exe";  // as a "save" of an .exe would have set it
  EXPECT_FALSE(RunSetupScript(false));
  EXPECT_FALSE(fakes::RegistryKeyExists(Hive::LocalMachine, "SOFTWARE\\Quillon"));

  ResetOwnSections();
  ResetEngineValues();
  Exec = "C:\\Quillon\\Quillon.exe";
  UseScript("action=path,Registry=Quillon,DataPath=C:\\QData\r\n");
  EXPECT_TRUE(RunSetupScript(false));
  EXPECT_EQ(fakes::RegistryValueData(Hive::LocalMachine, "SOFTWARE\\Quillon", "Exec"), Exec);
  EXPECT_EQ(fakes::RegistryValueData(Hive::LocalMachine, "SOFTWARE\\Quillon", "DataPath"), "C:\\QData\\");
  EXPECT_EQ(fakes::OpenRegistryHandles(), 0);
}

TEST_F(ScriptRun, PathOnlyRunStoresNothing) {
  UseScript("action=path,Registry=Quillon,DataPath=C:\\QData\r\n");
  Exec = "C:\\Quillon\\Quillon.exe";
  EXPECT_TRUE(RunSetupScript(true));
  EXPECT_FALSE(fakes::RegistryKeyExists(Hive::LocalMachine, "SOFTWARE\\Quillon"));
}

TEST_F(ScriptRun, MissingPackageDataIsReported) {
  PackageParts noScript;
  noScript.withScript = false;
  UsePackage(noScript);
  EXPECT_FALSE(RunSetupScript(false));
  EXPECT_EQ(ErrorText, "setup commands not found; ");
  ASSERT_EQ(fakes::ErrorBoxes().size(), 1u);
  EXPECT_EQ(fakes::ErrorBoxes()[0].text, "setup commands not found");
  EXPECT_EQ(fakes::ErrorBoxes()[0].caption, "Setup");
  EXPECT_FALSE(testsupport::FileExistsOnHost(Host("C:\\Setup.log")));

  ResetEngineValues();
  ResetOwnSections();
  Quiet = true;
  fakes::SetModuleFileName(temp_ / "missing.exe");
  EXPECT_FALSE(RunSetupScript(true));
  EXPECT_EQ(ErrorText, "setup information not found; ");
  EXPECT_EQ(fakes::ErrorBoxes().size(), 1u);  // quiet: no second box
}

TEST_F(ScriptRun, CorruptStreamsRaiseBeforeAnythingRuns) {
  PackageParts parts;
  parts.rawScript = "this is no zlib stream";
  UsePackage(parts);
  EXPECT_THROW(RunSetupScript(false), EZDecompressionError);

  ResetOwnSections();
  parts.rawScript = CompressBytes("action=path,Version=5\r\n", 2);
  parts.rawScript.resize(parts.rawScript.size() / 2);  // truncated
  UsePackage(parts);
  EXPECT_THROW(RunSetupScript(false), EZLibError);
  EXPECT_EQ(Version, "");
  EXPECT_FALSE(testsupport::FileExistsOnHost(Host("C:\\Setup.log")));
}

TEST_F(ScriptRun, PathOnlyRunRaisesOnCorruptPackedFiles) {
  const ByteString path = temp_ / "Setup.exe";
  ByteString file = "MZ stub";
  file += BuildSection(kSectionBeginningMark, "");
  file += BuildSection(kSectionSetupCmd, CompressBytes("action=path,Version=5\r\n", 2));
  ByteString packed = CompressBytes(ByteString(100000, 'd'), 2);
  file += BuildSection(kSectionSetupBin, packed.substr(0, packed.size() / 2));  // truncated
  ASSERT_TRUE(testsupport::WriteHostFile(path, file));
  fakes::SetModuleFileName(path);
  EXPECT_THROW(RunSetupScript(true), EZDecompressionError);
  EXPECT_EQ(Version, "");

  // Sound packed files: the path-only run goes on as before.
  ResetOwnSections();
  file = "MZ stub";
  file += BuildSection(kSectionBeginningMark, "");
  file += BuildSection(kSectionSetupCmd, CompressBytes("action=path,Version=5\r\n", 2));
  file += BuildSection(kSectionSetupBin, packed);
  ASSERT_TRUE(testsupport::WriteHostFile(path, file));
  EXPECT_TRUE(RunSetupScript(true));
  EXPECT_EQ(Version, "5");
}

// A package too large to be checked before the question: the path-only run
// answers at once, and the full run refuses damaged data before its first
// file, even though the damage lies behind every file's data.
TEST_F(ScriptRun, LargeDamagedPackedFilesWriteNothing) {
  ByteString noise(static_cast<std::size_t>(kCheckAtOnceLimit) + (1 << 20), '\0');
  uint32_t seed = 7;
  for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
  const ByteString script = "action=path,Version=5\r\n"
                            "action=save,OrigLen=4,Filename=C:\\Q\\first.txt\r\n"
                            "action=save,OrigLen=" + std::to_string(noise.size()) + ",Filename=C:\\Q\\noise.bin\r\n";
  PackageParts parts;
  parts.script = script;
  parts.packedFiles = "AAAA" + noise;
  ByteString file = BuildPackage("MZ stub", parts);
  file[file.size() - 10] ^= 0x55;
  const ByteString path = temp_ / "Setup.exe";
  ASSERT_TRUE(testsupport::WriteHostFile(path, file));
  fakes::SetModuleFileName(path);

  EXPECT_TRUE(RunSetupScript(true));
  EXPECT_EQ(Version, "5");
  EXPECT_THROW(RunSetupScript(false), EZDecompressionError);
  EXPECT_FALSE(testsupport::FileExistsOnHost(Host("C:\\Q")));
  EXPECT_FALSE(testsupport::FileExistsOnHost(Host("C:\\Setup.log")));
}

// A zstd package: its files stored in the frame (and a file's own zlib
// stream in it still inflates), written byte for byte by the full run and
// read by the path-only run's check. Damaged behind every file's data, it
// writes nothing; a frame that asks for more window than the packer uses
// is refused, whatever memory it would take.
TEST_F(ScriptRun, ZstdPackagesInstallAndDamagedOnesWriteNothing) {
  ByteString noise(static_cast<std::size_t>(kCheckAtOnceLimit) + (1 << 20), '\0');
  uint32_t seed = 11;
  for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
  const ByteString text = "Quillon " + ByteString(70000, 'q') + " end";
  const ByteString stream = CompressBytes(text, 3);
  const ByteString script = "action=path,Version=7\r\n"
                            "action=save,OrigLen=" + std::to_string(text.size()) + ",Filename=C:\\Q\\raw.txt\r\n"
                            "action=save,OrigLen=" + std::to_string(text.size()) + ",ComprLen=" +
                            std::to_string(stream.size()) + ",Filename=C:\\Q\\zlib.txt\r\n"
                            "action=save,OrigLen=" + std::to_string(noise.size()) + ",Filename=C:\\Q\\noise.bin\r\n";
  PackageParts parts;
  parts.script = script;
  parts.zstdFrame = ZstdFrame(text + stream + noise);
  UsePackage(parts);
  EXPECT_TRUE(RunSetupScript(true));
  EXPECT_EQ(Version, "7");
  EXPECT_TRUE(RunSetupScript(false)) << ErrorText;
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\Q\\raw.txt")), text);
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\Q\\zlib.txt")), text);
  EXPECT_TRUE(testsupport::ReadHostFile(Host("C:\\Q\\noise.bin")) == noise);

  // One flipped byte in the random data (only the frame's checksum sees
  // it), and a frame of more than 16 MiB with a 32 MiB window.
  ByteString flipped = parts.zstdFrame;
  flipped[flipped.size() - 100] ^= 0x20;
  const ByteString largeWindow = ZstdFrame(text + stream + noise + ByteString(8 << 20, 'z'), 25);
  for (const ByteString* frame : std::vector<const ByteString*>{&flipped, &largeWindow}) {
    SCOPED_TRACE(frame == &flipped ? "flipped" : "large window");
    ResetOwnSections();
    ResetPackedCheck();
    ResetEngineValues();
    std::filesystem::remove_all(Host("C:\\Q"));
    PackageParts damaged = parts;
    damaged.zstdFrame = *frame;
    UsePackage(damaged);
    EXPECT_TRUE(RunSetupScript(true));  // too large to be awaited before the question
    try {
      RunSetupScript(false);
      ADD_FAILURE() << "a damaged frame installed";
    } catch (const EZDecompressionError& error) {
      EXPECT_NE(ByteString(error.what()).find("zstd: "), ByteString::npos) << error.what();
    }
    EXPECT_FALSE(testsupport::FileExistsOnHost(Host("C:\\Q")));
  }
}

// Files are inflated ahead of their lines: a damaged stream raises at its
// own line, after the files before it and before any file behind it; data
// that ends early is reported at the line that misses it.
TEST_F(ScriptRun, FileFailuresComeAtTheirLines) {
  const ByteString one = CompressBytes("first", 2), three = CompressBytes("third", 2);
  ByteString two = CompressBytes(ByteString(3000, 'x'), 2);
  two[two.size() / 2] ^= 0x7F;
  auto save = [](const char* name, const ByteString& stream, std::size_t origLen) {
    return "action=save,OrigLen=" + std::to_string(origLen) + ",ComprLen=" + std::to_string(stream.size()) +
           ",Filename=C:\\Q\\" + name + "\r\n";
  };
  PackageParts parts;
  parts.script = save("one.txt", one, 5) + save("two.txt", two, 3000) + save("three.txt", three, 5);
  parts.packedFiles = one + two + three;
  UsePackage(parts);
  EXPECT_THROW(RunSetupScript(false), EZDecompressionError);
  // Raised at the second line, after the first file was written: the undo
  // removed it again.
  EXPECT_EQ(RunLines.size(), 2u);
  EXPECT_FALSE(testsupport::FileExistsOnHost(Host("C:\\Q")));

  ResetOwnSections();
  ResetEngineValues();
  parts.script = save("one.txt", one, 5) + save("three.txt", three, 5) + save("more.txt", three, 5);
  parts.packedFiles = one + three;
  UsePackage(parts);
  EXPECT_FALSE(RunSetupScript(false));
  EXPECT_EQ(RunLines.size(), 3u);
  EXPECT_FALSE(testsupport::FileExistsOnHost(Host("C:\\Q")));
  EXPECT_EQ(ErrorText, "data error in C:\\Q\\more.txt; Command failed: " + save("more.txt", three, 5).substr(0, save("more.txt", three, 5).size() - 2) + "; ");
}

TEST_F(ScriptRun, BothRunsTakeTheFilesOfTheFileLoaded) {
  // The packed files are decompressed once per loaded own file; a run over
  // another file (after the test's reload) must see that file's data.
  const ByteString script = "action=path,PgmPath=C:\\Q\r\naction=save,OrigLen=4,Filename=*PgmPath*\\a.txt\r\n";
  PackageParts parts;
  parts.script = script;
  parts.packedFiles = "AAAA";
  UsePackage(parts);
  EXPECT_TRUE(RunSetupScript(true));
  EXPECT_TRUE(RunSetupScript(false));
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\Q\\a.txt")), "AAAA");
  // A second full run starts again at the front of the same data.
  EXPECT_TRUE(RunSetupScript(false));
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\Q\\a.txt")), "AAAA");

  ResetOwnSections();
  parts.packedFiles = "BBBB";
  UsePackage(parts);
  EXPECT_TRUE(RunSetupScript(false));
  EXPECT_EQ(testsupport::ReadHostFile(Host("C:\\Q\\a.txt")), "BBBB");
}

TEST_F(ScriptRun, LogThatCannotBeWrittenIsOneMoreError) {
  // Users may create folders (and links) at C:\: the log is refused, never
  // written through and never raised; the failed run ends as any other does.
  ASSERT_TRUE(testsupport::MakeHostFolders(Host("C:\\Setup.log")));
  UseScript("action=path,Registry=Quillon,PgmPath=C:\\Q\r\n"
            "action=nothing\r\n");
  EXPECT_FALSE(RunSetupScript(false));
  EXPECT_EQ(ErrorText, "Command failed: action=nothing; Cannot create file \"C:\\Setup.log\"; ");
  EXPECT_TRUE(testsupport::FolderExistsOnHost(Host("C:\\Setup.log")));
  EXPECT_TRUE(RunRolledBack);
}

TEST(ExecuteCommand, ActionNamesMatchExactly) {
  ResetEngineValues();
  PackedData none;
  EXPECT_TRUE(ExecuteCommand("ACTION=path", none));
  EXPECT_FALSE(ExecuteCommand("action=Path", none));
  EXPECT_FALSE(ExecuteCommand("action=", none));
  EXPECT_FALSE(ExecuteCommand("", none));
  EXPECT_FALSE(ExecuteCommand("action=path2", none));
  EXPECT_EQ(ErrorText, "");  // failing is the caller's to record
  ReportError("x");
  AddError("y");
  EXPECT_EQ(ErrorText, "x; y; ");
  ResetEngineValues();
}

}  // namespace
}  // namespace enginetest
