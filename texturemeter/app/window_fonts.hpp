#pragma once
// Fonts of the window. Some labels ask for a Japanese Windows font; where it is not installed
// the request falls back to an installed CJK font, so Japanese text shows as glyphs.

#include <QFont>
#include <QString>

namespace texturemeter::window {

// The font family the labels Label5, Label6 and Label8 ask for.
inline const QString kRequestedJapaneseFamily = QStringLiteral(u"ＭＳ Ｐゴシック");

// The requested Japanese font with installed CJK fall-backs, at the window's point size.
QFont japaneseFont(const QFont& base);

// Whether the font draws every character of `text` from a real glyph (no empty boxes).
bool drawsAsGlyphs(const QFont& font, const QString& text);

}  // namespace texturemeter::window
