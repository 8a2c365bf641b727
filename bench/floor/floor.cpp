// SPDX-License-Identifier: MIT
// The floor the program is measured against: the least a Qt window like the program's main window
// can cost that shows the time once a second. The same client size, fixed, and one label in the
// program's font with the caption and the time where the main window shows them, set up as the
// program's labels are. Nothing here may grow beyond that, or the comparison means nothing.
#include <QApplication>
#include <QLabel>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include "ui/program_font.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setFont(veltrask::ui::programFont());
    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor"));
    // The main window's client area: 3750 × 2745 twips.
    window.setFixedSize(250, 183);
    QLabel label(&window);
    // From the left of the caption "当前系统时间：" to the right of the clock beside it.
    label.setGeometry(40, 8, 185, 17);
    label.setTextFormat(Qt::PlainText);
    label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label.setWordWrap(true);
    const auto showTime = [&label] {
        label.setText(QStringLiteral("当前系统时间：") +
                      QTime::currentTime().toString(QStringLiteral("H:mm:ss")));
    };
    showTime();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &label, showTime);
    timer.start(1000);
    window.show();
    return QApplication::exec();
}
