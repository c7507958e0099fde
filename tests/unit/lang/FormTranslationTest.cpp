// Translating forms and switching the language of the forms on screen.
#include "FakeForms.h"
#include "LangTestSupport.h"

namespace {

// A setup window in miniature: caption, a label, a panel with a button, a
// check box, a menu item, an edit box and a timer.
struct SetupForm {
  FakeForm form;
  FakeComponent* label;
  FakeComponent* panel;
  FakeComponent* button;
  FakeComponent* check;
  FakeComponent* menu;
  FakeComponent* edit;
  FakeComponent* timer;
  FakeComponent* inheritsFont;

  SetupForm() {
    form.text = "Installation von Quillon";
    label = &Own(form, MLComponentKind::Label, "  Ordner:");
    label->hint = "Zielordner|Hier wird Quillon installiert";
    panel = &Own(form, MLComponentKind::Panel, "Hilfe");
    button = &Own(*panel, MLComponentKind::Button, "&Starten");
    check = &Own(form, MLComponentKind::CheckBox, "Desktop-Symbol anlegen", panel);
    menu = &Own(form, MLComponentKind::MenuItem, "&Datei");
    menu->hint = "Datei|Datei";
    edit = &Own(form, MLComponentKind::OtherControl, "C:\\Programme\\Quillon");
    timer = &Own(form, MLComponentKind::OtherComponent, "Starten");
    inheritsFont = &Own(form, MLComponentKind::Label, "Hilfe");
    inheritsFont->parentFont = true;
  }
};

class FormTranslation : public LangTest {
protected:
  void SetUp() override {
    LangTest::SetUp();
    Load(u"DE=Installation von Quillon\nEN=Quillon setup\nFR=Installation de Quillon\n\n"
         u"DE=Starten\nEN=Start\nFR=Commencer\n\n"
         u"DE=Desktop-Symbol anlegen\nEN=Create desktop icon\nFR=Creer une icone sur le bureau\n\n"
         u"DE=Ordner\nEN=Folder\nFR=Dossier\nPL=Folder PL\nCS=Slozka\nEL=Fakelos\n\n"
         u"DE=Hilfe\nEN=Help\nFR=Aide\n\n"
         u"DE=Datei\nEN=File\nFR=Fichier\n\n"
         u"DE=Zielordner\nEN=Destination folder\nFR=Dossier cible\n");
  }
};

TEST_F(FormTranslation, SwitchingToEnglishAndOnToFrenchGoesThroughTheTextsOnScreen) {
  SetupForm s;
  ApplicationForms().Register(&s.form);

  ASSERT_TRUE(ChangeLanguage("DE", "EN", ""));
  EXPECT_EQ(s.form.text, "Quillon setup");
  EXPECT_EQ(s.label->text, "  Folder:");
  EXPECT_EQ(s.label->hint, "Destination folder|Hier wird Quillon installiert");
  EXPECT_EQ(s.panel->text, "Help");
  EXPECT_EQ(s.button->text, "Start");
  EXPECT_EQ(s.check->text, "Create desktop icon");
  EXPECT_EQ(s.menu->text, "File");
  EXPECT_EQ(s.menu->hint, "File|Datei");
  EXPECT_EQ(s.edit->text, "C:\\Programme\\Quillon");
  EXPECT_EQ(s.edit->textWrites, 0);
  EXPECT_EQ(s.timer->text, "Starten");
  EXPECT_EQ(MLSystem->CurrentCode(), "EN");

  // The forms show English now; French is found through the English texts.
  ASSERT_TRUE(ChangeLanguage("EN", "FR", ""));
  EXPECT_EQ(s.form.text, "Installation de Quillon");
  EXPECT_EQ(s.label->text, "  Dossier:");
  EXPECT_EQ(s.label->hint, "Dossier cible|Hier wird Quillon installiert");
  EXPECT_EQ(s.panel->text, "Aide");
  EXPECT_EQ(s.button->text, "Commencer");
  EXPECT_EQ(s.check->text, "Creer une icone sur le bureau");
  EXPECT_EQ(s.menu->text, "Fichier");
  EXPECT_EQ(MLSystem->CurrentCode(), "FR");
  EXPECT_EQ(MLSystem->ChangeCount(), 2);
}

TEST_F(FormTranslation, CheckBoxesGrowToTheirTextButNeverShrink) {
  SetupForm s;
  ApplicationForms().Register(&s.form);
  s.check->width = 100;
  ASSERT_TRUE(ChangeLanguage("DE", "EN", ""));
  EXPECT_EQ(s.check->width, 19 * 7 + 22);
  EXPECT_EQ(s.form.lastMeasuredFont, s.check);
  ASSERT_TRUE(ChangeLanguage("EN", "FR", ""));
  EXPECT_EQ(s.check->width, 29 * 7 + 22);
  ASSERT_TRUE(ChangeLanguage("FR", "DE", ""));
  EXPECT_EQ(s.check->text, "Desktop-Symbol anlegen");
  EXPECT_EQ(s.check->width, 29 * 7 + 22);
}

TEST_F(FormTranslation, WithoutAnOwningFormTheMainFormMeasures) {
  FakeForm main;
  FakeComponent panel(MLComponentKind::Panel);
  FakeComponent& check = Own(panel, MLComponentKind::CheckBox, "Starten");
  check.width = 10;
  // No form at all: the text changes, the width cannot be measured.
  System().TranslateComponent(panel, "DE", "EN");
  EXPECT_EQ(check.text, "Start");
  EXPECT_EQ(check.width, 10);

  ApplicationForms().Register(&main);
  System().TranslateComponent(panel, "EN", "FR");
  EXPECT_EQ(check.text, "Commencer");
  EXPECT_EQ(main.lastMeasuredFont, &check);
  EXPECT_EQ(check.width, 9 * 7 + 22);
}

TEST_F(FormTranslation, AChangeToALanguageTheDataLacksChangesNothing) {
  SetupForm s;
  ApplicationForms().Register(&s.form);
  ASSERT_TRUE(ChangeLanguage("DE", "PL", ""));
  EXPECT_EQ(s.label->text, "  Folder PL:");

  EXPECT_FALSE(ChangeLanguage("PL", "IT", "FR"));
  EXPECT_EQ(s.label->text, "  Folder PL:");
  EXPECT_EQ(MLSystem->CurrentCode(), "PL");
  EXPECT_EQ(MLSystem->FallbackCode(), "EN");
  EXPECT_EQ(MLSystem->ChangeCount(), 1);
  EXPECT_EQ(CurrentCharset, 238);
  EXPECT_EQ(s.form.charset, 238);

  System().Clear();
  EXPECT_FALSE(ChangeLanguage("PL", "PL", ""));
  DoneMultiLingua();
  EXPECT_FALSE(ChangeLanguage("DE", "EN", ""));
}

TEST_F(FormTranslation, AChangeSetsTheCharsetOfTheFormAndItsTextControls) {
  SetupForm s;
  ApplicationForms().Register(&s.form);
  const struct {
    const char* code;
    uint8_t charset;
  } changes[] = {{"PL", 238}, {"EL", 161}, {"CS", 238}, {"EN", 0}};
  const char* current = "DE";
  for (const auto& change : changes) {
    ASSERT_TRUE(ChangeLanguage(current, change.code, "")) << change.code;
    current = change.code;
    EXPECT_EQ(CurrentCharset, change.charset) << change.code;
    EXPECT_EQ(s.form.charset, change.charset) << change.code;
    EXPECT_EQ(s.label->charset, change.charset) << change.code;
    EXPECT_EQ(s.panel->charset, change.charset) << change.code;
    EXPECT_EQ(s.check->charset, change.charset) << change.code;
    // Not a text control, inherits its font, or not owned by the form.
    EXPECT_EQ(s.edit->charset, 1) << change.code;
    EXPECT_EQ(s.inheritsFont->charset, 1) << change.code;
    EXPECT_EQ(s.button->charset, 1) << change.code;
  }
  EXPECT_EQ(s.label->text, "  Folder:");
}

TEST_F(FormTranslation, ANewFormTakesTheCurrentLanguageAndCharset) {
  SetupForm first;
  TranslateNewForm(first.form);  // still German: nothing to do
  EXPECT_EQ(first.form.text, "Installation von Quillon");
  EXPECT_EQ(first.form.charset, 1);

  ASSERT_TRUE(ChangeLanguage("DE", "FR", ""));
  SetupForm second;
  TranslateNewForm(second.form);
  EXPECT_EQ(second.form.text, "Installation de Quillon");
  EXPECT_EQ(second.form.charset, 1);

  ASSERT_TRUE(ChangeLanguage("FR", "CS", ""));
  SetupForm third;
  TranslateNewForm(third.form);
  EXPECT_EQ(third.label->text, "  Slozka:");
  EXPECT_EQ(third.form.charset, 238);
  EXPECT_EQ(third.label->charset, 238);
}

}  // namespace
