#include "window_fonts.hpp"

#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>
#include <QTextLayout>

namespace texturemeter::window {

QFont japaneseFont(const QFont& base) {
    QFont f(base);
    f.setFamilies({kRequestedJapaneseFamily, QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                   QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic"), QStringLiteral("Droid Sans Fallback")});
    return f;
}

// Lays the text out as the window would and checks every glyph run for glyph index 0 (the
// "missing glyph" box), after Qt's own font fall-back has had its say.
bool drawsAsGlyphs(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const auto runs = layout.glyphRuns();
    int glyphs = 0;
    for (const QGlyphRun& run : runs) {
        for (quint32 index : run.glyphIndexes()) {
            if (index == 0) return false;
            ++glyphs;
        }
    }
    return glyphs > 0;
}

}  // namespace texturemeter::window
