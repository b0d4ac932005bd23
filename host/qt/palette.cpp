#include "host/qt/palette.h"

#include <QWidget>

namespace qtfront {

QColor ColorOf(tk::TColor color) {
  switch (color) {
    case tk::TColor::clWindow: return QColor(255, 255, 255);
    case tk::TColor::clBtnFace: return QColor(240, 240, 240);
    case tk::TColor::clInfoBk: return QColor(255, 255, 225);
    case tk::TColor::clBlue: return QColor(0, 0, 255);
    case tk::TColor::clWindowText: return QColor(0, 0, 0);
  }
  return QColor(255, 255, 255);
}

QFont ScreenFont(bool bold) {
  // Metric-compatible with the sans-serif face the screens were drawn with,
  // so the captions fit where the form definition puts them.
  QFont font("Liberation Sans");
  font.setPixelSize(11);
  font.setBold(bold);
  return font;
}

void SetFieldColor(QWidget& widget, tk::TColor color) {
  QPalette palette = widget.palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, ColorOf(color));
  }
  // The name a lookup shows in a disabled field must stay readable.
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(90, 90, 90));
  widget.setPalette(palette);
}

}  // namespace qtfront
