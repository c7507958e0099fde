#pragma once
// The layout of one parent's controls at the monitor's DPI: each control
// sits where the 96-DPI design puts it, scaled, and grows to what its text
// needs, measured with the control's own font. How a control is measured
// follows from its window class and style, so a control added later takes
// part as soon as it has a design rectangle.
#include <windows.h>
#include <vector>
#include "app/Controls.h"

// The width the control's text needs with what the control draws beside
// it (the box of a check box, a button's frame, the start button's glyph);
// 0 for controls whose size does not follow a text (edit boxes, wrapping
// static texts).
int NeededWidth(const FormControl& control, int dpi);

// Places the controls (children of one parent) and returns the size their
// needed extent takes, with the design's right and bottom margin. A control
// that grows pushes the ones to its right on the same row along. Once the
// parent's width is known, FitIntoWidth keeps every control inside it.
SIZE LayOutControls(const std::vector<FormControl*>& controls, int dpi);
void FitIntoWidth(const std::vector<FormControl*>& controls, int parentWidth, int dpi);

// Margin between the controls and a panel's right and bottom edge (96 DPI).
constexpr int kPanelMargin = 16;
