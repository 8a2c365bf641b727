// SPDX-License-Identifier: MIT
#include "form1.h"

#include <QFont>
#include <QLabel>

#include <array>

#include "core/form1.h"

namespace veltrask::ui {

namespace {

constexpr int kClientWidth = 3750;
constexpr int kClientHeight = 2745;

// In tab order.
constexpr std::array<Placement, 26> kLayout{{
    // clang-format off
    {"Label1",    2040,   120,  1335,  255},
    {"Text1",      840,   600,   615,  270},
    {"Label2",     360,   650,   615,  255},
    {"Label3",    1555,   650,   255,  255},
    {"Text2",     1800,   600,   615,  270},
    {"Label4",    2520,   650,   255,  255},
    {"Text3",     2760,   600,   615,  270},
    {"Label5",    3480,   650,   255,  255},
    {"Label6",     600,   120,  1335,  255},
    {"Command1",  2520,  1560,  1095,  375},
    {"Label8",     120,  1800,  1095,  165},
    {"Text4",     1200,  1750,   375,  270},
    {"Label9",    1680,  1800,   855,  165},
    {"Combo1",     120,  1320,  2295,  300},
    {"Option1",    100,   615,   255,  255},
    {"Option2",    120,   960,   255,  255},
    {"Text5",      360,   960,   615,  270},
    {"Label10",   1035,  1005,   375,  255},
    {"Text6",     1440,   960,   615,  270},
    {"Label11",   2160,  1005,   255,  255},
    {"Text7",     2400,   960,   615,  270},
    {"Label12",   3120,  1005,   375,  255},
    {"Label13",    480,   120,    15,   15},
    {"Text8",      120,  1680,  2295,  270},
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

}  // namespace

Form1View::Form1View(core::Form1& form) : WindowView(form, kClientWidth, kClientHeight, kLayout) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    if (auto* website = qobject_cast<QLabel*>(widgetFor("Label14"))) {
        website->setFont(websiteFont(website->font()));
        website->setCursor(Qt::PointingHandCursor);
        website->setWordWrap(false);
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
