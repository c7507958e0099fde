#pragma once
// The setup window's controls as the multilingual system sees them: each
// wraps a real child window (or nothing, for the timer, the dialog and the
// manifest) and answers for its text, hint, width and font character set.
#include <windows.h>
#include <memory>
#include <vector>
#include "base/Text.h"
#include "lang/FormInterface.h"

// A font as the layout describes it; the character set is the one piece the
// multilingual system changes.
struct FontDesc {
  ByteString face = "Verdana";
  int height = 13;  // character height in pixels
  bool bold = false;
  bool italic = false;
  BYTE charset = ANSI_CHARSET;
};

// The font at the given DPI: heights are described for 96 DPI.
HFONT CreateFontFromDesc(const FontDesc& desc, int dpi = 96);
// A length of the 96-DPI layout at the given DPI.
inline int ScaleToDpi(int length, int dpi) { return MulDiv(length, dpi, 96); }
// The size UTF-16 text takes in `font` as DrawTextW lays it out with
// `format` (DT_CALCRECT added), measured on `window`'s screen. Measured wide:
// the narrow call would read the bytes in the font's character set rather
// than the system's code page. No text: 0 wide and one line high.
SIZE MeasureText(HWND window, HFONT font, const wchar_t* text, int length, UINT format);

// A compiled-in text (Windows-1252) in the system's ANSI code page, so that
// the window shows it right and the translation finds it on every system.
ByteString FromWindows1252(const char* text);

class FormControl;

// What a control needs from the window that holds it.
class ControlHost {
public:
  virtual ~ControlHost() = default;
  virtual const FontDesc& FormFont() const = 0;
  virtual HFONT FormFontHandle() const = 0;
  virtual MLComponent* AsComponent() = 0;
  // The DPI that the window lays out at now.
  virtual int Dpi() const = 0;
};

class FormControl : public MLComponent {
public:
  // hwnd may be null (a component without a window). parent null means the
  // form itself.
  FormControl(ControlHost& host, MLComponentKind kind, HWND hwnd, FormControl* parent, bool autoSize);
  ~FormControl() override;

  MLComponentKind Kind() const override { return kind_; }
  ByteString Text() const override;
  void SetText(const ByteString& text) override;
  ByteString Hint() const override { return hint_; }
  void SetHint(const ByteString& hint) override { hint_ = hint; }
  int Width() const override;
  void SetWidth(int width) override;
  uint8_t FontCharset() const override;
  void SetFontCharset(uint8_t charset) override;
  bool ParentFont() const override { return parentFont_; }
  MLComponent* Parent() const override;
  int OwnedCount() const override { return 0; }
  MLComponent* OwnedAt(int) const override { return nullptr; }

  HWND Handle() const { return hwnd_; }
  // Gives the control a font of its own (parent font off).
  void SetOwnFont(const FontDesc& desc);
  // The font this control draws with now.
  HFONT FontHandle() const;
  const FontDesc& Font() const;
  // The form's font changed: controls that follow it take the new one.
  void FormFontChanged();
  // Labels sized to their text recompute their size.
  void FitToText();
  // The DPI changed: an own font is made anew at the new size (controls with
  // the parent's font get theirs through FormFontChanged).
  void DpiChanged();

  // Where the control sits in the 96-DPI layout (relative to its parent);
  // empty for a component without a window.
  RECT DesignRect() const { return design_; }
  void SetDesignRect(const RECT& rect) { design_ = rect; }
  bool AutoSize() const { return autoSize_; }

private:
  ControlHost& host_;
  MLComponentKind kind_;
  HWND hwnd_;
  FormControl* parent_;
  bool autoSize_;
  bool parentFont_ = true;
  FontDesc ownDesc_;
  HFONT ownFont_ = nullptr;
  ByteString hint_;
  RECT design_ = {0, 0, 0, 0};
};

// Panel window class: light grey, raised edge, a container for tabbing.
ATOM RegisterPanelClass(HINSTANCE instance);
extern const char* const kPanelClassName;
// The brush of the panels' colour (RGB 208, 208, 208).
HBRUSH PanelBrush();
