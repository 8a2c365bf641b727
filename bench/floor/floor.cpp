// SPDX-License-Identifier: MIT
// The floor the program is measured against: the least a Qt 6 Widgets window can do and still show
// a clock, the bare window the outside start-up measure compares with. One label is the window, of
// the main window's client size, showing the caption and the time the main window shows, in Qt's
// own font (the text is Chinese, so a Chinese face is loaded too). Nothing here may grow beyond
// that, or the comparison means nothing.
#include <QApplication>
#include <QLabel>
#include <QTime>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel clock;
    clock.setWindowTitle(QStringLiteral("Floor"));
    // The main window's client area: 3750 × 2745 twips.
    clock.resize(250, 183);
    const auto showTime = [&clock] {
        clock.setText(QStringLiteral("当前系统时间：") +
                      QTime::currentTime().toString(QStringLiteral("H:mm:ss")));
    };
    showTime();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &clock, showTime);
    timer.start(1000);
    clock.show();
    return QApplication::exec();
}
