// An approximate model of text widths in dialog units, to check that the
// layout tables leave room for their texts. The platform hosts measure with
// the real fonts; this only has to catch a control drawn plainly too small.
//
// The model:
//  - A dialog unit across is a quarter of the font's average character
//    width, so a half-width character (ASCII, half-width katakana) counts 4
//    units and a full-width one (kana, kanji, full-width forms) 8. That is
//    exact for the fixed-pitch main window font and an estimate for the
//    proportional 8-point font of the small dialogs.
//  - A line is 8 units high (a unit down is an eighth of the font's height).
//  - In a text with mnemonics, '&' marks the next character and takes no room
//    ("&&" shows one '&').
//  - What a control needs besides its text: a push button 8 units across
//    for its frame and margins; a check box or radio button 12 for its mark
//    and the gap after it; a sunken cell 2 for its border; a group box 8 for
//    the caption's inset and the frame; a drop-down list 12 for its arrow; a
//    dump 16 for its scroll bar, border and margins. A static text at least
//    two lines high wraps (at any character, as Japanese text does); any
//    other text takes one line.
#pragma once

#include "ui/Layout.h"

#include <string>
#include <string_view>

// Width of one line of text in dialog units.
int TextWidthDu(std::string_view utf8, bool mnemonics);

// Lines the text needs when wrapped into `widthDu` (at least 1).
int WrappedLines(std::string_view utf8, int widthDu, bool mnemonics);

// Whether `text` fits `control` by the model; when not, `why` says by how much.
bool TextFits(const CControlDef& control, std::string_view text, std::string& why);
