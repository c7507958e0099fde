#pragma once
// What the multilingual system needs to know about forms and their
// components. The setup window implements it over real windows; the tests
// implement it with fakes. Texts are ANSI byte strings.
#include <cstdint>
#include <vector>
#include "base/Text.h"

// How translation and the character-set change treat a component.
// Label and Button are ordinary controls for translation, but only labels,
// check boxes, buttons and panels take a new font character set.
enum class MLComponentKind : uint8_t {
  Form,
  MenuItem,
  CheckBox,
  Panel,
  Label,
  Button,
  OtherControl,    // edit boxes and any other window with a text
  OtherComponent,  // timers, dialogs: never touched
};

// Space a check box (or radio button) needs beside its caption for the box
// itself, at 96 DPI.
constexpr int kCheckBoxMargin = 22;

class MLForm;

class MLComponent {
public:
  virtual ~MLComponent() = default;
  virtual MLComponentKind Kind() const = 0;

  // Window text of a control (caption of a label, button, panel, check box;
  // content of an edit box), caption of a form or menu item.
  virtual ByteString Text() const = 0;
  virtual void SetText(const ByteString& text) = 0;
  virtual ByteString Hint() const = 0;
  virtual void SetHint(const ByteString& hint) = 0;

  virtual int Width() const = 0;
  virtual void SetWidth(int width) = 0;

  virtual uint8_t FontCharset() const = 0;
  virtual void SetFontCharset(uint8_t charset) = 0;
  // True when the component takes its font from its parent.
  virtual bool ParentFont() const = 0;

  // The window that contains this one (null for a form or a non-visual part).
  virtual MLComponent* Parent() const = 0;
  // The components this one owns, in the order they were created.
  virtual int OwnedCount() const = 0;
  virtual MLComponent* OwnedAt(int index) const = 0;  // null for a bad index

  // Non-null only for forms.
  virtual MLForm* AsForm() { return nullptr; }
};

class MLForm : public MLComponent {
public:
  MLComponentKind Kind() const override { return MLComponentKind::Form; }
  MLForm* AsForm() override { return this; }
  // Width in pixels of `text` drawn on this form's canvas with the font of
  // `fontOf` (a component of any form).
  virtual int TextWidth(const MLComponent& fontOf, const ByteString& text) = 0;
};

// The application's forms, in the order they were registered; the first one
// registered is the main form. The window registers itself when it is
// created and unregisters when it is destroyed. Forms are not owned.
class MLForms {
public:
  void Register(MLForm* form);
  void Unregister(MLForm* form);
  int Count() const { return static_cast<int>(forms_.size()); }
  MLForm* At(int index) const;  // null for a bad index
  MLForm* MainForm() const { return forms_.empty() ? nullptr : forms_.front(); }
  void Clear() { forms_.clear(); }

private:
  std::vector<MLForm*> forms_;
};

// The process-wide registry.
MLForms& ApplicationForms();
