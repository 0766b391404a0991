#include "examfont.h"

#include "fontmap.h"
#include "windowlayout.h"

QFont examFont(qreal points, bool bold)
{
    static const QString family = fonts::familyFor(QStringLiteral("ＭＳ ゴシック"));
    QFont font = gothicFont(points, bold);
    font.setFamilies({family});
    return font;
}
