// The floor for the window program's start-up: a bare Qt window with one
// picture and one text box, nothing else (bench/startup-time.py).
// Usage: mnemora-bare-window picture-file

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    auto *picture = new QLabel(&window);
    picture->setPixmap(QPixmap(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString()));
    auto *box = new QLineEdit(&window);
    box->move(10, 10);
    window.resize(picture->sizeHint().expandedTo(QSize(200, 60)));
    window.show();
    return QApplication::exec();
}
