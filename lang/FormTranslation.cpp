// Translation of forms and the change of language at run time: every text on
// screen is looked up in the language it shows now, so a switch from English
// to French goes through the groups' English texts.
#include "lang/Multilingual.h"

namespace {

// The canvas to measure on: the nearest form up the parent chain, else the
// main form.
MLForm* MeasuringForm(MLComponent& component) {
  for (MLComponent* c = &component; c; c = c->Parent())
    if (MLForm* form = c->AsForm()) return form;
  return ApplicationForms().MainForm();
}

bool TakesCharset(MLComponentKind kind) {
  return kind == MLComponentKind::Label || kind == MLComponentKind::CheckBox || kind == MLComponentKind::Button ||
         kind == MLComponentKind::Panel;
}

}  // namespace

void tMLSystem::TranslateControl(MLComponent& control, const ByteString& fromCode, const ByteString& toCode) const {
  ByteString text = control.Text();
  if (text.size() > kMaxControlText) text.resize(kMaxControlText);
  if (!text.empty()) {
    const ByteString translated = Translate(text, fromCode, toCode);
    // Unchanged texts are not written back, so a long edit box content is
    // never cut to what was read.
    if (translated != text) control.SetText(translated);
  }
  const ByteString hint = control.Hint();
  if (!hint.empty()) control.SetHint(TranslateHint(hint, fromCode, toCode));
}

void tMLSystem::TranslateComponent(MLComponent& component, const ByteString& fromCode,
                                   const ByteString& toCode) const {
  if (groups_.empty() || LanguageCode(fromCode) == LanguageCode(toCode)) return;
  MLForm* canvas = MeasuringForm(component);
  if (component.AsForm()) component.SetText(Translate(component.Text(), fromCode, toCode));

  for (int i = 0; i < component.OwnedCount(); ++i) {
    MLComponent* owned = component.OwnedAt(i);
    if (!owned) continue;
    switch (owned->Kind()) {
      case MLComponentKind::MenuItem: {
        owned->SetText(Translate(owned->Text(), fromCode, toCode));
        const ByteString hint = owned->Hint();
        if (!hint.empty()) owned->SetHint(TranslateHint(hint, fromCode, toCode));
        break;
      }
      case MLComponentKind::CheckBox: {
        // Check boxes only grow, so a longer caption is never clipped.
        const int width = owned->Width();
        TranslateControl(*owned, fromCode, toCode);
        if (canvas) {
          const int needed = canvas->TextWidth(*owned, owned->Text()) + kCheckBoxMargin;
          if (width < needed) owned->SetWidth(needed);
        }
        break;
      }
      case MLComponentKind::Panel:
        TranslateComponent(*owned, fromCode, toCode);
        TranslateControl(*owned, fromCode, toCode);
        break;
      case MLComponentKind::Form:
      case MLComponentKind::Label:
      case MLComponentKind::Button:
      case MLComponentKind::OtherControl:
        TranslateControl(*owned, fromCode, toCode);
        break;
      case MLComponentKind::OtherComponent:
        break;
    }
  }
}

void TranslateNewForm(MLForm& form) {
  if (MLSystem) MLSystem->TranslateComponent(form, MLSystem->BaseCode(), MLSystem->CurrentCode());
  if (CurrentCharset != 0) SetComponentCharset(form, CurrentCharset);
}

bool ChangeLanguage(const ByteString& currentCode, const ByteString& newCode, const ByteString& fallbackCode) {
  if (!MLSystem || MLSystem->GroupCount() == 0 || MLSystem->IndexOfLanguage(newCode) < 0) return false;
  if (!fallbackCode.empty()) MLSystem->SetFallbackCode(fallbackCode);
  MLForms& forms = ApplicationForms();
  for (int i = 0; i < forms.Count(); ++i)
    if (MLForm* form = forms.At(i)) MLSystem->TranslateComponent(*form, currentCode, newCode);
  MLSystem->SetCurrentCode(newCode);
  MLSystem->CountChange();
  SetFormsCharset(CharsetOfLanguage(newCode));
  return true;
}

void SetFormsCharset(uint8_t charset) {
  MLForms& forms = ApplicationForms();
  for (int i = 0; i < forms.Count(); ++i)
    if (MLForm* form = forms.At(i)) SetComponentCharset(*form, charset);
  CurrentCharset = charset;
}

void SetComponentCharset(MLComponent& component, uint8_t charset) {
  if (component.AsForm()) component.SetFontCharset(charset);
  // Owned components only; the ones they own in turn are not visited.
  for (int i = 0; i < component.OwnedCount(); ++i) {
    MLComponent* owned = component.OwnedAt(i);
    if (owned && TakesCharset(owned->Kind()) && !owned->ParentFont()) owned->SetFontCharset(charset);
  }
}
