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

// The families the fonts name: the design's own where installed, else the
// nearest installed one (SetUpFonts).
QString g_windowFamily = WindowFamily;
QString g_boxFamily = BoxFamily;

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

// The first of the candidates that is installed; the first if none is.
QString FirstInstalled(const QStringList &installed, const QStringList &candidates)
{
    for (const QString &family : candidates)
        if (installed.contains(family))
            return family;
    return candidates.first();
}

} // namespace

void SetUpFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;

    QStringList installed = QFontDatabase::families();
    if (!installed.contains(WindowFamily) && QFile::exists(WineTahoma)) {
        const int id = QFontDatabase::addApplicationFont(WineTahoma);
        installed += QFontDatabase::applicationFontFamilies(id);
    }
    // Chosen here once rather than through Qt's substitutions, which would
    // look up fallback families for every font at its first use. Liberation
    // Mono has Courier New's advance widths; DejaVu is the last resort that
    // every Debian desktop has. Characters none of them has still come from
    // other fonts, looked up when first drawn.
    g_windowFamily = FirstInstalled(installed, {WindowFamily, QStringLiteral("DejaVu Sans")});
    g_boxFamily = FirstInstalled(
        installed, {BoxFamily, QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
}

QFont WindowFont()
{
    return Font(g_windowFamily, WindowFontPoints);
}

QFont InputFont()
{
    return Font(g_boxFamily, InputFontPoints);
}

QFont OutputFont()
{
    return Font(g_boxFamily, OutputFontPoints);
}

} // namespace mnemora
