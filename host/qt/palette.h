#pragma once
// The host toolkit's colours and the screen's font in Qt terms.
#include <QColor>
#include <QFont>
#include <QPalette>

#include "host/toolkit/control.h"

namespace qtfront {

QColor ColorOf(tk::TColor color);
// The screens are laid out for a text height of 13 pixels at 96 dpi.
QFont ScreenFont(bool bold = false);
// Sets the field background in every state: a disabled field keeps the colour
// that tells its role (required, display, optional).
void SetFieldColor(QWidget& widget, tk::TColor color);

}  // namespace qtfront
