#include "Fonts.h"

#include "WindowLayout.h"

#include <QFile>
#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace mnemora {

namespace {

const QString WindowFamily = QString::fromLatin1(WindowFontFamily);
const QString BoxFamily = QString::fromLatin1(BoxFontFamily);

// Debian's fonts-wine ships a Tahoma drawn to the same metrics.
const QString WineTahoma = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");

QFont Font(const QString &family, qreal points)
{
    QFont font(family);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

} // namespace

void SetUpFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;

    if (!QFontDatabase::hasFamily(WindowFamily) && QFile::exists(WineTahoma))
        QFontDatabase::addApplicationFont(WineTahoma);
    // Substitutions only apply when the family itself is missing. Liberation
    // Mono has Courier New's advance widths; DejaVu is the last resort that
    // every Debian desktop has.
    QFont::insertSubstitutions(WindowFamily, {QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(
        BoxFamily, {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
}

QFont WindowFont()
{
    return Font(WindowFamily, WindowFontPoints);
}

QFont InputFont()
{
    return Font(BoxFamily, InputFontPoints);
}

QFont OutputFont()
{
    return Font(BoxFamily, OutputFontPoints);
}

} // namespace mnemora
