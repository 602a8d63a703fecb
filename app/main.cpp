#include "Fonts.h"
#include "FrmMain.h"
#include "ProcessHardening.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Before the first keystroke can put a password into memory.
    mnemora::HardenProcess();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mnemora"));
    QApplication::setApplicationVersion(QStringLiteral(MNEMORA_VERSION));
    // Matches the installed launcher, so desktops pair the window with it.
    QApplication::setDesktopFileName(QStringLiteral("org.example.mnemora"));

    mnemora::SetUpFonts();

    mnemora::FrmMain window;
    window.show();
    return QApplication::exec();
}
