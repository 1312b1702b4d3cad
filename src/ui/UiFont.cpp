#include "UiFont.h"

#include <QStringList>

QFont uiFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
        QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("VL PGothic"),
        QStringLiteral("TakaoPGothic"), QStringLiteral("Noto Sans CJK JP"),
        QStringLiteral("Noto Sans JP")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
