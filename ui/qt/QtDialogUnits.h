// The dialog font and the dialog units of the layout tables on Qt.
//
// The tables name the fonts of the system they were drawn for: "ＭＳ ゴシック"
// (a fixed-pitch Japanese gothic) for the main window and "MS Shell Dlg" (the
// desktop's dialog font) for the small dialogs. Neither exists here, so each
// is mapped to what a Debian desktop has, at the same point size: the first to
// IPAGothic (fonts-ipafont-gothic), whose Latin letters are exactly half as
// wide as its kana and kanji so that the dumps' columns line up, the second to
// the desktop's general font with a Japanese gothic behind it for the glyphs
// it lacks.
//
// A dialog unit is measured from the mapped font as the platform the tables
// come from measures it: across, a quarter of the average width of the
// letters A-Z and a-z; down, an eighth of the font's height. A rectangle is
// mapped corner by corner, so controls that touch in dialog units touch in
// pixels too.
#pragma once

#include "ui/Layout.h"

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

#include <string_view>

// Pixels per four horizontal and per eight vertical dialog units.
struct CDialogBaseUnits {
    int X = 0;
    int Y = 0;
};

// The families tried, in order, for a font name of the layout tables; the
// first one the system has is used, the rest supply missing glyphs.
QStringList DialogFontFamilies(std::string_view name);

// The font of a dialog: the mapped families at `points`.
QFont DialogFont(std::string_view name, int points);

// The base units of a font.
CDialogBaseUnits BaseUnitsOf(const QFont& font);

// Dialog units to pixels, rounded to the nearest pixel.
int DialogUnitsToPixelsX(int du, const CDialogBaseUnits& units);
int DialogUnitsToPixelsY(int du, const CDialogBaseUnits& units);
QRect DialogRectToPixels(const CRectDu& rect, const CDialogBaseUnits& units);

// A UTF-8 text of the tables or the logic as a QString.
inline QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The text a static control shows for `text`: without its mnemonic marks
// ('&' before a character is dropped, "&&" shows one '&') unless the control
// shows them as they are.
QString StaticDisplayText(std::string_view text, bool noPrefix);

// The desktop's general font at its own size, with a Japanese gothic behind
// it: what menus, message boxes and the platform's dialogs use.
QFont DesktopFont();
