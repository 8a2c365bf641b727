// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <cmath>

#include "core/form1.h"
#include "core/form3.h"
#include "core/form4.h"
#include "ui/appearance.h"
#include "view_fixture.h"

namespace veltrask::testing {

namespace {

// The test's own reading of the layout: twips to pixels at 96 dots per inch.
QRect pixels(int left, int top, int width, int height) {
    const auto px = [](int twips) { return static_cast<int>(std::lround(twips / 15.0)); };
    return {px(left), px(top), px(width), px(height)};
}

QString textOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    return {};
}

void addControlColumns() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");
}

void row(const char* name, const char* className, int left, int top, int width, int height,
         const QString& text, bool enabled = true, bool visible = true) {
    QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(className)
                        << pixels(left, top, width, height) << text << enabled << visible;
}

void checkControl(const ui::WindowView* view) {
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, visible);

    QVERIFY(view != nullptr);
    const auto* widget = view->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY2(widget != nullptr, qPrintable(name));
    QVERIFY2(widget->inherits(className.toLatin1().constData()), widget->metaObject()->className());
    if (qobject_cast<const QLabel*>(widget) != nullptr && geometry.width() > 1) {
        // A caption label is at least one line of its font high, whatever the table says.
        geometry.setHeight(
            std::max(geometry.height(),
                     widget->fontMetrics().boundingRect(QRect(), Qt::TextWordWrap, "字").height()));
    }
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(textOf(widget), text);
    QCOMPARE(widget->isEnabled(), enabled);
    QCOMPARE(!widget->isHidden(), visible);
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    }
}

}  // namespace

void UiTest::initTestCase() {
    ui::applyAppearance();
}

void UiTest::init() {
    desktop_ = std::make_unique<Desktop>();
    program_ = &desktop_->program;
    program_->start();
    QVERIFY(mainView() != nullptr);
    activate(mainView());
}

void UiTest::cleanup() {
    program_ = nullptr;
    desktop_.reset();
    flushDeletions();
    const QWidgetList left = QApplication::topLevelWidgets();
    for (QWidget* widget : left) {
        qWarning() << "left open:" << widget;
    }
    QVERIFY(left.isEmpty());
}

ui::WindowView* UiTest::viewOf(const core::Window* window) const {
    return desktop_->viewOf(window);
}

ui::WindowView* UiTest::mainView() const {
    return viewOf(program_->existingForm1());
}

void UiTest::activate(QWidget* view) {
    QVERIFY(view != nullptr);
    QVERIFY(view->isVisible());
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
}

ui::WindowView* UiTest::openConfirmation() {
    program_->dispatch([this] {
        program_->form1().chooseAction(1);  // 关闭计算机
        program_->showForm3();
        program_->close(program_->form1());
    });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return viewOf(program_->existingForm3());
}

ui::WindowView* UiTest::openReminder() {
    program_->dispatch([this] { program_->showForm4(); });
    return viewOf(program_->existingForm4());
}

void UiTest::mainWindowTable_data() {
    addControlColumns();
    // clang-format off
    row("Label1",   "QLabel",       2040, 120,  1335, 255, "9:30:00");
    row("Text1",    "QLineEdit",     840, 600,   615, 270, "");
    row("Label2",   "QLabel",        360, 650,   615, 255, "时间：");
    row("Label3",   "QLabel",       1555, 650,   255, 255, "时");
    row("Text2",    "QLineEdit",    1800, 600,   615, 270, "");
    row("Label4",   "QLabel",       2520, 650,   255, 255, "分");
    row("Text3",    "QLineEdit",    2760, 600,   615, 270, "");
    row("Label5",   "QLabel",       3480, 650,   255, 255, "秒");
    row("Label6",   "QLabel",        600, 120,  1335, 255, "当前系统时间：");
    row("Command1", "QPushButton",  2520, 1560, 1095, 375, "确定");
    row("Label8",   "QLabel",        120, 1800, 1095, 165, "关闭计算机前", true, false);
    row("Text4",    "QLineEdit",    1200, 1750,  375, 270, "30", false, false);
    row("Label9",   "QLabel",       1680, 1800,  855, 165, "秒提醒我", true, false);
    row("Combo1",   "QComboBox",     120, 1320, 2295, 300, "提醒我");
    row("Option1",  "QRadioButton",  100, 615,   255, 255, "");
    row("Option2",  "QRadioButton",  120, 960,   255, 255, "");
    row("Text5",    "QLineEdit",     360, 960,   615, 270, "", false);
    row("Label10",  "QLabel",       1035, 1005,  375, 255, "小时");
    row("Text6",    "QLineEdit",    1440, 960,   615, 270, "", false);
    row("Label11",  "QLabel",       2160, 1005,  255, 255, "分");
    row("Text7",    "QLineEdit",    2400, 960,   615, 270, "", false);
    row("Label12",  "QLabel",       3120, 1005,  375, 255, "秒后");
    row("Label13",  "QLabel",        480, 120,    15,  15, "", true, false);
    row("Text8",    "QLineEdit",     120, 1680, 2295, 270, "请输入要提醒的内容");
    row("Label7",   "QLabel",          0, 2160, 3495, 375, QString::fromStdString(std::string(core::kCreditLine)));
    row("Label14",  "QLabel",        120, 2520, 3495, 255, "欢迎访问我们的网站：veltrask.example.org");
    // clang-format on
}

void UiTest::mainWindowTable() {
    checkControl(mainView());
}

void UiTest::mainWindowDesign() {
    ui::WindowView* view = mainView();
    QCOMPARE(view->windowTitle(), QStringLiteral("VeltraskV3.0正式版"));
    QCOMPARE(view->size(), QSize(250, 183));
    QCOMPARE(view->minimumSize(), view->maximumSize());
    QVERIFY(!view->windowIcon().isNull());

    auto* option1 = control<QRadioButton>(view, "Option1");
    auto* option2 = control<QRadioButton>(view, "Option2");
    QVERIFY(option1->isChecked());
    QVERIFY(!option2->isChecked());

    auto* combo = control<QComboBox>(view, "Combo1");
    QVERIFY(!combo->isEditable());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    QCOMPARE(items, (QStringList{"提醒我", "关闭计算机", "重新启动", "注销"}));

    auto* reminder = control<QLineEdit>(view, "Text8");
    QCOMPARE(reminder->palette().color(QPalette::Text), QColor(128, 128, 128));
    QCOMPARE(reminder->maxLength(), 32767);

    auto* website = control<QLabel>(view, "Label14");
    QCOMPARE(website->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QVERIFY(website->font().underline());
    QCOMPARE(website->font().pointSize(), 9);
    QCOMPARE(website->font().weight(), QFont::Normal);
    QCOMPARE(website->font().families().value(0), QStringLiteral("宋体"));
    QVERIFY(website->font().families().size() > 2);  // a CJK face where 宋体 is missing
    QCOMPARE(website->cursor().shape(), Qt::PointingHandCursor);

    // Focus rests on the first focusable control.
    QCOMPARE(view->focusWidget(), control<QWidget>(view, "Text1"));
}

void UiTest::mainWindowTabOrder() {
    ui::WindowView* view = mainView();
    const QStringList expected{"Text1",   "Text2",   "Text3", "Command1", "Text4", "Combo1",
                               "Option1", "Option2", "Text5", "Text6",    "Text7", "Text8"};
    QStringList chain;
    QWidget* widget = control<QWidget>(view, "Text1");
    do {
        if (widget->parentWidget() == view && (widget->focusPolicy() & Qt::TabFocus) != 0) {
            chain << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != control<QWidget>(view, "Text1") && chain.size() <= expected.size());
    QCOMPARE(chain, expected);
}

void UiTest::confirmationTable_data() {
    addControlColumns();
    row("Label1", "QLabel", 600, 360, 495, 255, "30");
    row("Label2", "QLabel", 1320, 360, 1455, 255, "秒后关闭计算机");
    row("Command1", "QPushButton", 240, 840, 1335, 375, "关闭计算机");
    row("Command2", "QPushButton", 1680, 840, 975, 375, "取消");
}

void UiTest::confirmationTable() {
    ui::WindowView* view = openConfirmation();
    checkControl(view);
    QCOMPARE(view->windowTitle(), QStringLiteral("真的要关闭计算机吗？"));
    QCOMPARE(view->size(), QSize(193, 88));
    QVERIFY(!view->windowIcon().isNull());
    QCOMPARE(view->focusWidget(), control<QWidget>(view, "Command1"));
    QCOMPARE(desktop_->system.beeps, 1);
}

void UiTest::reminderTable_data() {
    addControlColumns();
    row("Command1", "QPushButton", 2640, 720, 1095, 375, "确定");
    row("Label1", "QLabel", 240, 120, 3495, 495, "9:30:00 时间到，请请输入要提醒的内容");
}

void UiTest::reminderTable() {
    ui::WindowView* view = openReminder();
    checkControl(view);
    QCOMPARE(view->windowTitle(), QStringLiteral("时间到"));
    QCOMPARE(view->size(), QSize(255, 76));
    QVERIFY(!view->windowIcon().isNull());
    QCOMPARE(view->focusWidget(), control<QWidget>(view, "Command1"));
    auto* message = control<QLabel>(view, "Label1");
    QVERIFY(message->wordWrap());
    QCOMPARE(message->minimumSize(), message->maximumSize());
}

void UiTest::reminderShowsMarkupLiterally() {
    const QString markup = QStringLiteral("<b>x</b><img src=a>");
    program_->dispatch([&] {
        core::Form1& form = program_->form1();
        form.setText(form.text8, markup.toStdString());
    });
    ui::WindowView* view = openReminder();
    auto* message = control<QLabel>(view, "Label1");
    QCOMPARE(message->text(), "9:30:00 时间到，请" + markup);
    QCOMPARE(message->textFormat(), Qt::PlainText);
    // What is drawn is the text itself, not the bold x and the image rich text would make of it.
    QLabel rich;
    rich.setTextFormat(Qt::RichText);
    rich.setWordWrap(true);
    rich.setAlignment(message->alignment());
    rich.setFont(message->font());
    rich.setFixedSize(message->size());
    rich.setText(message->text());
    QVERIFY(message->grab().toImage() != rich.grab().toImage());
}

// A message longer than the box shows the lines that fit whole, and nothing of the next one.
void UiTest::reminderDrawsWholeLinesOnly() {
    program_->dispatch([&] {
        core::Form1& form = program_->form1();
        form.setText(form.text8, QString(300, QChar(0x5B57)).toStdString());  // 字字字…
    });
    ui::WindowView* view = openReminder();
    auto* message = control<QLabel>(view, "Label1");
    // As the window draws it: the label within its window.
    const QImage image = view->grab(message->geometry()).toImage();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    int lowestInk = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                lowestInk = y;
                break;
            }
        }
    }
    const int spacing = message->fontMetrics().lineSpacing();
    const int wholeLines = message->height() / spacing;
    QVERIFY2(wholeLines >= 2, "the box holds two lines of the message");
    QVERIFY2(
        lowestInk >= (wholeLines - 1) * spacing,
        qPrintable(QStringLiteral("the last whole line is drawn: ink down to %1").arg(lowestInk)));
    QVERIFY2(lowestInk < wholeLines * spacing,
             qPrintable(QStringLiteral("ink at %1, below the %2 whole lines of %3 px")
                            .arg(lowestInk)
                            .arg(wholeLines)
                            .arg(spacing)));
}

// With the program's own font, no caption is cut off at the twips layout (the reminder's message
// is the one text allowed to wrap within its label).
void UiTest::everyTextIsWhole() {
    const auto check = [](const ui::WindowView* view, const QString& wrapsFreely) {
        QVERIFY(view != nullptr);
        for (const QLabel* label : view->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || label->objectName() == wrapsFreely) {
                continue;
            }
            const QFontMetrics metrics(label->font());
            const QRect needed = metrics.boundingRect(QRect(0, 0, label->width(), 10'000),
                                                      Qt::TextWordWrap, label->text());
            QVERIFY2(
                label->wordWrap() || metrics.horizontalAdvance(label->text()) <= label->width(),
                qPrintable(label->objectName() + ": " + label->text()));
            QVERIFY2(needed.height() <= label->height() && needed.width() <= label->width(),
                     qPrintable(QStringLiteral("%1 needs %2x%3 px, has %4x%5")
                                    .arg(label->objectName())
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(label->width())
                                    .arg(label->height())));
        }
        for (const QPushButton* button : view->findChildren<QPushButton*>()) {
            const int textWidth = QFontMetrics(button->font()).horizontalAdvance(button->text());
            QVERIFY2(textWidth + 8 <= button->width(), qPrintable(button->objectName()));
        }
    };
    // The longest lead-time caption.
    program_->dispatch([this] { program_->form1().chooseAction(3); });
    check(mainView(), {});
    check(openReminder(), QStringLiteral("Label1"));  // the message wraps within its label
    check(openConfirmation(), {});
}

}  // namespace veltrask::testing
