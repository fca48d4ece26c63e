#include "ui/qt/QtDialogUnits.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

#include <string>

namespace {

constexpr std::string_view kFixedGothic = "ＭＳ ゴシック";
constexpr std::string_view kFixedGothicLatin = "MS Gothic";
constexpr std::string_view kShellDlg = "MS Shell Dlg";
constexpr std::string_view kShellDlg2 = "MS Shell Dlg 2";

// Japanese gothics a Debian system may have; the first has half-width Latin
// letters, as the dumps need.
const QStringList kJapaneseFixed = {"IPAGothic", "Noto Sans Mono CJK JP", "Noto Sans CJK JP", "VL Gothic"};
const QStringList kJapaneseProportional = {"IPAPGothic", "Noto Sans CJK JP", "IPAGothic", "VL PGothic"};

// Rounds a * b / c to the nearest integer, halves away from zero, as the
// platform's dialog unit conversion does.
int MulDivRound(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : -((-product + half) / c));
}

// The family the desktop's general font resolves to. Its name may be an
// alias ("Sans Serif") that a list of families would pass over for the
// next one.
QString GeneralFamily() {
    return QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
}

} // namespace

QStringList DialogFontFamilies(std::string_view name) {
    if (name == kFixedGothic || name == kFixedGothicLatin) {
        return kJapaneseFixed;
    }
    if (name == kShellDlg || name == kShellDlg2) {
        QStringList families = {GeneralFamily()};
        families += kJapaneseProportional;
        return families;
    }
    QStringList families = {ToQString(name)};
    families += kJapaneseProportional;
    return families;
}

QFont DialogFont(std::string_view name, int points) {
    QFont font;
    font.setFamilies(DialogFontFamilies(name));
    font.setPointSize(points > 0 ? points : 8);
    if (name == kFixedGothic || name == kFixedGothicLatin) {
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
    }
    return font;
}

CDialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    CDialogBaseUnits units;
    units.X = (width / 26 + 1) / 2;
    units.Y = metrics.height();
    if (units.X <= 0) {
        units.X = 1;
    }
    if (units.Y <= 0) {
        units.Y = 1;
    }
    return units;
}

int DialogUnitsToPixelsX(int du, const CDialogBaseUnits& units) {
    return MulDivRound(du, units.X, 4);
}

int DialogUnitsToPixelsY(int du, const CDialogBaseUnits& units) {
    return MulDivRound(du, units.Y, 8);
}

QRect DialogRectToPixels(const CRectDu& rect, const CDialogBaseUnits& units) {
    const int left = DialogUnitsToPixelsX(rect.X, units);
    const int top = DialogUnitsToPixelsY(rect.Y, units);
    const int right = DialogUnitsToPixelsX(rect.Right(), units);
    const int bottom = DialogUnitsToPixelsY(rect.Bottom(), units);
    return QRect(left, top, right - left, bottom - top);
}

QString StaticDisplayText(std::string_view text, bool noPrefix) {
    if (noPrefix) {
        return ToQString(text);
    }
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                shown += '&';
                ++i;
            }
            continue; // the mark itself takes no room
        }
        shown += text[i];
    }
    return ToQString(shown);
}

QFont DesktopFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    QStringList families = {GeneralFamily()};
    families += kJapaneseProportional;
    font.setFamilies(families);
    return font;
}
