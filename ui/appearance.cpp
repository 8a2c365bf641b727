// SPDX-License-Identifier: MIT
#include "appearance.h"

#include <QApplication>
#include <QEvent>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <array>
#include <functional>
#include <map>

#include "program_font.h"

// The resources live in a static library, so the linker keeps them only if something names them.
// Outside any namespace: the macro declares the generated function where it is used.
static void initResources() {
    Q_INIT_RESOURCE(veltrask);
}

namespace veltrask::ui {

namespace {

// As long as GTK lets a caret blink before it holds still: long enough to be seen, short enough
// that a window left waiting for hours wakes the program only for its clock.
constexpr int kCaretRestMs = 10'000;

// Stops the caret blinking once nobody has typed or clicked for a while, and lets it blink again
// at the next key, click or move of the focus.
class CaretRest final : public QObject {
public:
    explicit CaretRest(QObject* parent)
        : QObject(parent), flashTimeMs_(QApplication::cursorFlashTime()) {
        rest_.setSingleShot(true);
        rest_.setInterval(kCaretRestMs);
        connect(&rest_, &QTimer::timeout, this, [] { QApplication::setCursorFlashTime(0); });
        rest_.start();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::InputMethod:
            case QEvent::FocusIn:
                if (QApplication::cursorFlashTime() != flashTimeMs_) {
                    QApplication::setCursorFlashTime(flashTimeMs_);
                }
                rest_.start();
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const int flashTimeMs_;
    QTimer rest_;
};

// The sizes drawn ahead into bitmaps: those a window manager is offered for a window's icon.
constexpr std::array kBitmapSizes{16, 32, 48, 64, 128};

// The icon from bitmaps at the sizes every window needs, and from the drawing at any other size.
// Showing a window then neither loads the SVG renderer nor draws the picture at four sizes, the
// largest part of what the windows added to the start-up of a bare one; the drawing is loaded the
// first time another size is asked for (a notification area, a high-density screen).
class ApplicationIconEngine final : public QIconEngine {
public:
    ApplicationIconEngine() = default;
    ApplicationIconEngine(const ApplicationIconEngine& other)
        : QIconEngine(other), bitmaps_(other.bitmaps_), drawing_(other.drawing_) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const bool plain = mode == QIcon::Normal || mode == QIcon::Active;
        if (plain && size.width() == size.height() &&
            std::find(kBitmapSizes.begin(), kBitmapSizes.end(), size.width()) !=
                kBitmapSizes.end()) {
            QPixmap& bitmap = bitmaps_[size.width()];
            if (bitmap.isNull()) {
                // Read by Qt's own PNG reader: guessing the format would load every image plugin.
                QImageReader reader(QStringLiteral(":/veltrask/veltrask-%1.png").arg(size.width()),
                                    "png");
                reader.setAutoDetectImageFormat(false);
                bitmap = QPixmap::fromImage(reader.read());
            }
            if (!bitmap.isNull()) {
                return bitmap;
            }
        }
        // In device pixels already: the application's own scale must not apply again.
        return drawing().pixmap(size, 1.0, mode, state);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal scale =
            painter->device() != nullptr ? painter->device()->devicePixelRatio() : 1;
        painter->drawPixmap(rect, pixmap(rect.size() * scale, mode, state));
    }

    // Square and scalable, like the drawing.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const int side : kBitmapSizes) {
            sizes.append(QSize(side, side));
        }
        return sizes;
    }

    QString key() const override { return QStringLiteral("veltrask"); }
    QIconEngine* clone() const override { return new ApplicationIconEngine(*this); }

private:
    QIcon& drawing() {
        if (drawing_.isNull()) {
            drawing_ = QIcon(QStringLiteral(":/veltrask/veltrask.svg"));
        }
        return drawing_;
    }

    std::map<int, QPixmap> bitmaps_;
    QIcon drawing_;
};

// The icon given to the application, which every window carries, is marked on the application
// object, so that its bitmaps are read only once for as long as that lives.
constexpr char kGivenIconProperty[] = "veltraskGivenIcon";

void giveApplicationIcon() {
    const QIcon icon = applicationIcon();
    QApplication::setWindowIcon(icon);
    qApp->setProperty(kGivenIconProperty, icon.cacheKey());
}

// Runs a piece of work once, as soon as the first frame of any window is on its way to the
// display: the frame is handed over as the paint that was seen returns, before the next timer.
class AfterFirstFrame final : public QObject {
public:
    AfterFirstFrame(QObject* parent, std::function<void()> work)
        : QObject(parent), work_(std::move(work)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !pending_) {
            pending_ = true;
            QTimer::singleShot(0, this, [this] {
                qApp->removeEventFilter(this);
                work_();
                deleteLater();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> work_;
    bool pending_ = false;
};

}  // namespace

QIcon applicationIcon() {
    static const bool initialised = [] {
        initResources();
        return true;
    }();
    (void)initialised;
    if (qApp != nullptr) {
        const QIcon given = QApplication::windowIcon();
        if (!given.isNull() &&
            given.cacheKey() == qApp->property(kGivenIconProperty).toLongLong()) {
            return given;
        }
    }
    return QIcon(new ApplicationIconEngine);
}

void applyAppearance(IconTiming iconTiming) {
    QApplication::setFont(programFont());
    if (iconTiming == IconTiming::AtOnce) {
        giveApplicationIcon();
    } else {
        qApp->installEventFilter(new AfterFirstFrame(qApp, &giveApplicationIcon));
    }
}

void restCaretWhenIdle() {
    static CaretRest* const rest = [] {
        auto* filter = new CaretRest(qApp);
        qApp->installEventFilter(filter);
        return filter;
    }();
    (void)rest;
}

}  // namespace veltrask::ui
