#include "Fonts.h"
#include "FrmMain.h"
#include "HeapWipe.h"
#include "ProcessHardening.h"
#include "QuitOnSignals.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Before the first keystroke can put a password into memory.
    mnemora::HardenProcess();
    // Nothing secret exists before the window takes input: what the toolkit
    // frees while it starts (font configuration, pictures) is not wiped,
    // which would only delay the window. Wiping resumes before the event
    // loop delivers the first event.
    mnemora::SetHeapWiping(false);

    int status = 0;
    int quitSignal = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Mnemora"));
        QApplication::setApplicationVersion(QStringLiteral(MNEMORA_VERSION));
        // Matches the installed launcher, so desktops pair the window with it.
        QApplication::setDesktopFileName(QStringLiteral("org.example.mnemora"));

        mnemora::SetUpFonts();
        const mnemora::QuitOnSignals quitOnSignals;

        // Destroyed before the application object, whose end hands the
        // clipboard to a clipboard manager: the window clears its code first.
        mnemora::FrmMain window;
        window.show();
        mnemora::SetHeapWiping(true);
        status = QApplication::exec();
        quitSignal = quitOnSignals.received();
    }
    mnemora::QuitOnSignals::Reraise(quitSignal);
    return status;
}
