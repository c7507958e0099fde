// The setup program's text rules that need no window: the program folder
// check, the folder chosen in the dialog, the language file's name, the
// application error box's message and the window's texts in the sample's
// language data; and the layout of a panel's controls at two DPIs.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "app/FolderRules.h"
#include "app/MessageBoxes.h"
#include "app/PanelLayout.h"
#include "app/SetupTexts.h"
#include "app/StartUp.h"
#include "base/Encodings.h"
#include "lang/Multilingual.h"

namespace {

struct FolderCase {
  const char* entered;
  bool accepted;
  const char* after;  // the folder text after the check
};

TEST(CheckProgramFolder, AcceptsFoldersBelowARootAndTrimsThem) {
  const FolderCase cases[] = {
      {"C:\\Quillon", true, "C:\\Quillon\\"},
      {"C:\\Quillon\\", true, "C:\\Quillon\\"},
      {"  C:\\Apps\\Quillon  ", true, "C:\\Apps\\Quillon\\"},
      {"\t\r\nD:\\a\\b\\c\x01", true, "D:\\a\\b\\c\\"},
      {"\\\\server\\share", true, "\\\\server\\share\\"},
      {"\\\\server\\share\\deeper", true, "\\\\server\\share\\deeper\\"},
  };
  for (const auto& c : cases) {
    ByteString folder = c.entered;
    EXPECT_EQ(CheckProgramFolder(folder), c.accepted) << c.entered;
    EXPECT_EQ(folder, c.after) << c.entered;
  }
}

TEST(CheckProgramFolder, RefusesRootsRelativePathsAndBlanks) {
  const FolderCase cases[] = {
      {"C:\\", false, "C:\\"},
      {"C:", false, "C:\\"},
      {"C:Quillon", false, "C:Quillon\\"},
      {"\\\\server", false, "\\\\server\\"},
      {"\\\\server\\", false, "\\\\server\\"},
      {"Quillon", false, "Quillon"},
      {"\\Quillon", false, "\\Quillon"},
      {"     ", false, ""},
      {"", false, ""},
      {"X", false, "X"},
  };
  for (const auto& c : cases) {
    ByteString folder = c.entered;
    EXPECT_EQ(CheckProgramFolder(folder), c.accepted) << c.entered;
    EXPECT_EQ(folder, c.after) << c.entered;
  }
}

TEST(ChosenProgramFolder, AddsTheProductFolderUnlessItIsNamed) {
  EXPECT_EQ(ChosenProgramFolder("C:\\Program Files\\In den Zielordner springen"), "C:\\Program Files\\Quillon\\");
  EXPECT_EQ(ChosenProgramFolder("C:\\In den Zielordner springen"), "C:\\Quillon\\");
  EXPECT_EQ(ChosenProgramFolder("D:\\Apps\\QUILLON 2\\x"), "D:\\Apps\\QUILLON 2\\");
  EXPECT_EQ(ChosenProgramFolder("D:\\quilt\\x"), "D:\\quilt\\");
  EXPECT_EQ(ChosenProgramFolder("E:\\Tools\\x"), "E:\\Tools\\Quillon\\");
}

TEST(LanguageFileName, ReplacesOrAppendsTheExtension) {
  EXPECT_EQ(LanguageFileName("C:\\dl\\Setup.exe"), "C:\\dl\\Setup.lng");
  EXPECT_EQ(LanguageFileName("C:\\dl\\Setup.v2.exe"), "C:\\dl\\Setup.v2.lng");
  EXPECT_EQ(LanguageFileName("C:\\dl.x\\Setup"), "C:\\dl.x\\Setup.lng");
  EXPECT_EQ(LanguageFileName("C:Setup"), "C:Setup.lng");
}

TEST(ApplicationErrorText, AddsAFullStopAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(ApplicationErrorText("data error"), "data error.");
  EXPECT_EQ(ApplicationErrorText("Fehler 5"), "Fehler 5.");
  EXPECT_EQ(ApplicationErrorText("Ung\xFCltig \xE4"), "Ung\xFCltig \xE4.");
  EXPECT_EQ(ApplicationErrorText("done."), "done.");
  EXPECT_EQ(ApplicationErrorText("stop!"), "stop!");
  EXPECT_EQ(ApplicationErrorText("list,"), "list,");
  EXPECT_EQ(ApplicationErrorText(""), "");
}

// The sample's language data (UTF-8, as the packer takes it) from the source tree.
WideString SampleLanguageData() {
  // Through Wine's drive Z:, whatever the current drive.
  std::ifstream file("Z:" Q_SAMPLE_LNG, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const int n = MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), &wide[0], n);
  return WideString(wide.begin(), wide.end());
}

TEST(SampleLanguageData, TranslatesEveryMessageOfTheWindowIntoEveryLanguage) {
  InitMultiLingua();
  const WideString data = SampleLanguageData();
  ASSERT_GT(data.size(), 1000u) << Q_SAMPLE_LNG;
  MLSystem->LoadFromText(data, false);
  // A German text that the data misspells is not found and stays German.
  const int messages[] = {4, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
  std::map<int, ByteString> german;
  for (int number : messages) german[number] = Unit1Text(number);
  const ByteString germanRefusedCopy = MainDPRText(kTextOwnFileRefused);
  for (const char* code : {"EN", "FR", "ES", "IT", "BR", "SV", "ZH"}) {
    MLSystem->SetCurrentCode(code);
    for (int number : messages) EXPECT_NE(Unit1Text(number), german[number]) << code << " " << number;
    EXPECT_NE(MainDPRText(kTextOwnFileRefused), germanRefusedCopy) << code;
  }
  MLSystem->SetCurrentCode("DE");
  EXPECT_EQ(Unit1Text(18), "Die Installation wurde abgebrochen.\rEs wurde nichts ver\xE4ndert.");
  DoneMultiLingua();
}

TEST(Unit1TextWithAll, PutsEachArgumentWhereTheTranslationHasItsMark) {
  InitMultiLingua();
  const ByteString data =
      "DE=Auf dem Laufwerk %1 ist nicht genug Platz frei.#13#Ben\xF6tigt werden %2 MB, frei sind %3 MB.\r\n"
      "EN=%3 MB free of %2 MB needed on %1.\r\n";
  WideString text;
  AppendCodePageToWide(data.data(), static_cast<int32_t>(data.size()), 1252, text);
  MLSystem->LoadFromText(text, false);
  const std::vector<ByteString> shortage = {"D:\\", "64.0", "20.5"};
  EXPECT_EQ(Unit1TextWithAll(15, shortage),
            "Auf dem Laufwerk D:\\ ist nicht genug Platz frei.\rBen\xF6tigt werden 64.0 MB, frei sind 20.5 MB.");
  MLSystem->SetCurrentCode("EN");
  EXPECT_EQ(Unit1TextWithAll(15, shortage), "20.5 MB free of 64.0 MB needed on D:\\.");
  // An inserted text is not searched again; a mark without its argument stays.
  EXPECT_EQ(Unit1TextWithAll(15, {"%2%3", "%1"}), "%3 MB free of %1 MB needed on %2%3.");
  DoneMultiLingua();
}

// Controls on a hidden panel that take their font from a host at one DPI.
class LayoutHost : public ControlHost {
public:
  explicit LayoutHost(int dpi) : dpi_(dpi), font_(CreateFontFromDesc(desc_, dpi)) {
    panel_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, ScaleToDpi(400, dpi), 200, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  }
  ~LayoutHost() override {
    controls_.clear();
    DestroyWindow(panel_);
    DeleteObject(font_);
  }
  const FontDesc& FormFont() const override { return desc_; }
  HFONT FormFontHandle() const override { return font_; }
  MLComponent* AsComponent() override { return nullptr; }
  int Dpi() const override { return dpi_; }

  FormControl* Add(const char* text, DWORD style, RECT design) {
    HWND hwnd = CreateWindowExA(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | style, design.left, design.top,
                                design.right - design.left, design.bottom - design.top, panel_, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    controls_.push_back(std::make_unique<FormControl>(*this, MLComponentKind::Button, hwnd, nullptr, false));
    controls_.back()->SetDesignRect(design);
    return controls_.back().get();
  }
  RECT RectOf(const FormControl* control) const {
    RECT r;
    GetWindowRect(control->Handle(), &r);
    MapWindowPoints(nullptr, panel_, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

private:
  FontDesc desc_;
  int dpi_;
  HFONT font_;
  HWND panel_ = nullptr;
  std::vector<std::unique_ptr<FormControl>> controls_;
};

TEST(PanelLayout, ScalesTheDesignGrowsControlsToTheirTextsAndPushesTheirRowAlong) {
  for (int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    LayoutHost host(dpi);
    const auto scaled = [dpi](int length) { return ScaleToDpi(length, dpi); };
    FormControl* check = host.Add("Verkn\xFCpfungen zu eBay auf dem Desktop und in der Schnellstartleiste anlegen",
                                  BS_AUTOCHECKBOX, {20, 20, 120, 37});
    FormControl* browse = host.Add("Durchsuchen ...", BS_PUSHBUTTON, {130, 18, 160, 39});
    FormControl* yes = host.Add("Ja", BS_PUSHBUTTON, {20, 60, 110, 93});
    const SIZE extent = LayOutControls({check, browse, yes}, dpi);

    const RECT c = host.RectOf(check), b = host.RectOf(browse), y = host.RectOf(yes);
    EXPECT_GT(NeededWidth(*check, dpi), scaled(300));
    EXPECT_EQ(c.right - c.left, NeededWidth(*check, dpi));
    EXPECT_EQ(c.top, scaled(20));
    EXPECT_EQ(b.left, c.right + scaled(6));  // pushed, with the row's gap
    EXPECT_EQ(b.right - b.left, NeededWidth(*browse, dpi));
    // The next row stays where the design has it, with its design width.
    EXPECT_EQ(y.left, scaled(20));
    EXPECT_EQ(y.top, scaled(60));
    EXPECT_EQ(y.right - y.left, scaled(90));
    EXPECT_EQ(extent.cx, b.right + scaled(kPanelMargin));
    EXPECT_EQ(extent.cy, y.bottom + scaled(kPanelMargin));

    // A design width beyond the panel shrinks to it, never below the text.
    FormControl* wide = host.Add("Kurz", BS_AUTOCHECKBOX, {20, 100, 500, 117});
    FormControl* longText = host.Add("Verkn\xFCpfung zu Quillon auf dem Desktop erstellen", BS_AUTOCHECKBOX,
                                     {200, 120, 500, 137});
    LayOutControls({wide, longText}, dpi);
    FitIntoWidth({wide, longText}, scaled(300), dpi);
    EXPECT_EQ(host.RectOf(wide).right, scaled(300) - scaled(kPanelMargin));
    EXPECT_EQ(host.RectOf(longText).right - host.RectOf(longText).left, NeededWidth(*longText, dpi));
  }
}

}  // namespace
