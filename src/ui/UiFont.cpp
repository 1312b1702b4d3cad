#include "UiFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

const QStringList &wantedFamilies()
{
    static const QStringList families {QStringLiteral("ＭＳ Ｐゴシック"),
        QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
        QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic"),
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP")};
    return families;
}

// The first wanted face the desktop has, installed or as a font configuration alias of an
// installed one, looked up once. The toolkit would otherwise try every missing name of the list
// again for each size and script, which costs more than the rest of the font set-up at
// start-up. With none found, the whole list is handed on as it is.
const QStringList &families()
{
    static const QStringList chosen = [] {
        const QStringList installed = QFontDatabase::families();
        for (const QString &family : wantedFamilies()) {
            if (installed.contains(family, Qt::CaseInsensitive) || QFontDatabase::hasFamily(family))
                return QStringList {family};
        }
        return wantedFamilies();
    }();
    return chosen;
}

} // namespace

QFont uiFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(families());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    // Japanese needs no glyph shaping: laying text out without it makes a page load several
    // times cheaper, and kerning still applies.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}
