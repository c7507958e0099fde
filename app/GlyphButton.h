#pragma once
// The start button: a push button with a green check mark (18 x 18) in front
// of its caption, six pixels apart, and a greyed copy of the mark while the
// button is disabled. Drawn by the window (owner-drawn button).
#include <windows.h>

constexpr int kGlyphSize = 18;
constexpr int kGlyphSpacing = 6;

// Sizes are for 96 DPI; the drawing scales them to the window's DPI.
// Draws the check mark with its top-left corner at (x, y).
void DrawCheckGlyph(HDC dc, int x, int y, bool enabled, int dpi = 96);
// Draws the whole button; `isDefault` adds the dark frame of the default button.
void DrawGlyphButton(const DRAWITEMSTRUCT& item, bool isDefault, int dpi = 96);
