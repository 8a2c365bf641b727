// SPDX-License-Identifier: MIT
#include "form1.h"

#include <QAccessibleWidget>
#include <QFont>
#include <QLabel>
#include <QLineEdit>

#include <array>
#include <limits>

#include "core/actions.h"
#include "core/form1.h"

namespace veltrask::ui {

namespace {

constexpr int kClientWidth = 3750;
constexpr int kClientHeight = 2745;

// In tab order. The fields are named by the label that follows them; the option buttons, the
// action list and the reminder text have none beside them and get names of their own.
constexpr std::array<Placement, 26> kLayout{{
    // clang-format off
    {"Label1",    2040,   120,  1335,  255},
    {"Text1",      840,   600,   615,  270, "Label3"},
    {"Label2",     360,   650,   615,  255},
    {"Label3",    1555,   650,   255,  255},
    {"Text2",     1800,   600,   615,  270, "Label4"},
    {"Label4",    2520,   650,   255,  255},
    {"Text3",     2760,   600,   615,  270, "Label5"},
    {"Label5",    3480,   650,   255,  255},
    {"Label6",     600,   120,  1335,  255},
    {"Command1",  2520,  1560,  1095,  375},
    {"Label8",     120,  1800,  1095,  165},
    {"Text4",     1200,  1750,   375,  270, "Label8"},
    {"Label9",    1680,  1800,   855,  165},
    {"Combo1",     120,  1320,  2295,  300, {}, "动作"},
    {"Option1",    100,   615,   255,  255, {}, "按时间"},
    {"Option2",    120,   960,   255,  255, {}, "倒计时"},
    {"Text5",      360,   960,   615,  270, "Label10"},
    {"Label10",   1035,  1005,   375,  255},
    {"Text6",     1440,   960,   615,  270, "Label11"},
    {"Label11",   2160,  1005,   255,  255},
    {"Text7",     2400,   960,   615,  270, "Label12"},
    {"Label12",   3120,  1005,   375,  255},
    {"Label13",    480,   120,    15,   15},
    {"Text8",      120,  1680,  2295,  270, {}, "提醒内容"},
    {"Label7",       0,  2160,  3495,  375},
    {"Label14",    120,  2520,  3495,  255},
    // clang-format on
}};

QFont websiteFont(const QFont& base) {
    QFont font = base;
    // 宋体 where it exists; elsewhere the nearest CJK face, so that the Chinese lead still shows.
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSize(9);
    font.setWeight(QFont::Normal);
    font.setUnderline(true);
    return font;
}

// Marks the label a screen reader should announce as a link. The label itself stays a plain-text
// label: the address is the program's to open, through the core.
constexpr char kLinkProperty[] = "veltraskLink";

// The website label, as a screen reader sees it: a link named by its text, whose press action
// clicks it.
class WebsiteLinkAccessible final : public QAccessibleWidget {
public:
    explicit WebsiteLinkAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        const auto* label = static_cast<const QLabel*>(widget());
        switch (t) {
            case QAccessible::Name:
                return label->text();
            case QAccessible::Value:
                return QString::fromUtf8(core::kWebsite.data(),
                                         static_cast<qsizetype>(core::kWebsite.size()));
            default:
                return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName != pressAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        if (auto* view = qobject_cast<WindowView*>(widget()->parentWidget())) {
            view->click(widget()->objectName().toStdString());
        }
    }
};

QAccessibleInterface* websiteLinkFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QLabel") || !object->property(kLinkProperty).toBool()) {
        return nullptr;
    }
    return new WebsiteLinkAccessible(static_cast<QLabel*>(object));
}

void installWebsiteLinkFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(&websiteLinkFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace

Form1View::Form1View(core::Form1& form, Presenting& presenting)
    : WindowView(form, presenting, kClientWidth, kClientHeight, kLayout) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

void Form1View::controlsBuilt() {
    const auto& form = static_cast<const core::Form1&>(*window());
    // Qt cuts a paste to the line edit's maximum length before the validator sees it: a paste
    // that the numeric fields refuse whole for a letter at its end would get in with the letter
    // cut off. Without the widget's limit the validator sees all of it, and cuts what it accepts.
    for (const core::Control* control : form.controls()) {
        if (form.isNumericField(*control)) {
            if (auto* edit = qobject_cast<QLineEdit*>(widgetFor(control->name))) {
                edit->setMaxLength(std::numeric_limits<int>::max());
            }
        }
    }
    if (auto* website = qobject_cast<QLabel*>(widgetFor("Label14"))) {
        website->setFont(websiteFont(website->font()));
        website->setCursor(Qt::PointingHandCursor);
        website->setWordWrap(false);
        installWebsiteLinkFactory();
        website->setProperty(kLinkProperty, true);
    }
}

void Form1View::itemChosen(core::Control&, int index) {
    auto* form = static_cast<core::Form1*>(window());
    if (form == nullptr || index < 0) {
        return;
    }
    dispatch([form, index] { form->chooseAction(static_cast<std::size_t>(index)); });
}

}  // namespace veltrask::ui
