#pragma once
// The buttons' glyphs, drawn rather than shipped as bitmaps.
#include <QIcon>

namespace qtfront {

QIcon SearchGlyph();  // a magnifying glass, for the search buttons
QIcon ExportGlyph();  // a sheet with an arrow leaving it, for the Export button
QIcon MonthGlyph();   // a small calendar, for the month fields

}  // namespace qtfront
