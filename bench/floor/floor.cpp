// SPDX-License-Identifier: MIT
// The floor the program is measured against: the least a Qt window showing the time once a
// second can cost. Nothing here may grow beyond that, or the comparison means nothing.
#include <QApplication>
#include <QLabel>
#include <QTime>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel label;
    label.setWindowTitle(QStringLiteral("Floor"));
    const auto showTime = [&label] {
        label.setText(QStringLiteral("当前系统时间：") +
                      QTime::currentTime().toString(QStringLiteral("H:mm:ss")));
    };
    showTime();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &label, showTime);
    timer.start(1000);
    // Sized to its text, as any window that shows text is: the fonts load before it is mapped.
    label.show();
    return QApplication::exec();
}
