// SPDX-License-Identifier: MIT
#include "desktop_presenter.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>

#include <utility>
#include <vector>

#include "appearance.h"
#include "core/form1.h"
#include "core/form3.h"
#include "core/form4.h"
#include "form1.h"
#include "form3.h"
#include "form4.h"

namespace veltrask::ui {

namespace {

void centreOnScreen(QWidget& view) {
    const QScreen* screen =
        view.screen() != nullptr ? view.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = view.geometry();
    frame.moveCenter(screen->availableGeometry().center());
    view.move(frame.topLeft());
}

}  // namespace

DesktopPresenter::DesktopPresenter() : DesktopPresenter(&QSystemTrayIcon::isSystemTrayAvailable) {}

DesktopPresenter::DesktopPresenter(Tray::Availability trayAvailable)
    : tray_(std::move(trayAvailable)) {}

DesktopPresenter::~DesktopPresenter() {
    // The core windows may already be gone: cut every view loose before any widget event could
    // reach them.
    for (auto& [window, view] : views_) {
        if (view) {
            view->detach();
        }
    }
    for (auto& [window, view] : views_) {
        delete view.data();
    }
}

WindowView* DesktopPresenter::createView(core::Window& window) {
    switch (window.kind()) {
        case core::WindowKind::Form1:
            return new Form1View(static_cast<core::Form1&>(window), presenting_);
        case core::WindowKind::Form3:
            return new Form3View(static_cast<core::Form3&>(window), presenting_);
        case core::WindowKind::Form4:
            return new Form4View(static_cast<core::Form4&>(window), presenting_);
    }
    return nullptr;
}

WindowView* DesktopPresenter::viewOf(const core::Window& window) const {
    const auto it = views_.find(&window);
    return it == views_.end() ? nullptr : it->second.data();
}

void DesktopPresenter::showWindow(core::Window& window) {
    const PresentingScope presenting(presenting_);
    // The windows' only owner is the program the tray icon follows.
    program_ = &static_cast<core::Program&>(window.windows());
    WindowView* view = viewOf(window);
    const bool created = view == nullptr;
    if (created) {
        view = createView(window);
        if (view == nullptr) {
            return;
        }
        views_[&window] = view;
        // No controls yet, only the caption, which the window manager reads as the window maps.
        view->sync();
        centreOnScreen(*view);
    }
    if (beforeFirstShow_ && !std::exchange(beforeFirstShow_, nullptr)()) {
        return;
    }
    view->show();
    if (!created) {
        view->raise();  // a new window comes up on top anyway
    }
    if (!activationToken_.empty()) {
        // Wayland's activation takes the token from here, once, when the window asks to be
        // activated; without it a compositor may only mark the window as wanting attention.
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(activationToken_));
        activationToken_.clear();
    }
    view->activateWindow();
    if (created) {
        // Made while the window is being mapped and activated: its first paint, from the event
        // loop, already shows the started-up window with the focus in place, the time included.
        view->buildControls();
        view->sync();
    }
}

void DesktopPresenter::hideWindow(core::Window& window) {
    const PresentingScope presenting(presenting_);
    if (WindowView* view = viewOf(window)) {
        view->hide();
    }
}

void DesktopPresenter::destroyWindow(core::Window& window) {
    const PresentingScope presenting(presenting_);
    const auto it = views_.find(&window);
    if (it == views_.end()) {
        return;
    }
    QPointer<WindowView> view = it->second;
    views_.erase(it);
    if (view) {
        view->detach();
        view->hide();
        // Often called from inside one of the view's own signal handlers.
        view->deleteLater();
    }
}

void DesktopPresenter::stateChanged() {
    // A sync may cause Qt events that enter the core again; they ask for one more pass instead of
    // syncing inside a sync.
    if (syncing_) {
        syncAgain_ = true;
        return;
    }
    syncing_ = true;
    do {
        ++passes_;
        syncAgain_ = false;
        syncAll();
    } while (syncAgain_);
    syncing_ = false;
    if (program_ != nullptr) {
        tray_.refresh(*program_);
    }
}

void DesktopPresenter::showFailure(const std::string& message, std::function<void()> acknowledged) {
    // Its own window, not a dialog of a window that is gone: by now the program shows nothing
    // else, and the user must see why the computer is still on.
    auto* box =
        new QMessageBox(QMessageBox::Critical,
                        QString::fromUtf8(core::kMainCaption.data(),
                                          static_cast<qsizetype>(core::kMainCaption.size())),
                        QString::fromStdString(message), QMessageBox::Ok);
    box->setObjectName(QStringLiteral("FailureMessage"));
    box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box->setTextFormat(Qt::PlainText);
    box->setWindowIcon(applicationIcon());
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box,
                     [acknowledged = std::move(acknowledged)] { acknowledged(); });
    box->show();
    box->raise();
    box->activateWindow();
}

void DesktopPresenter::syncAll() {
    std::vector<QPointer<WindowView>> views;
    for (auto& [window, view] : views_) {
        views.push_back(view);
    }
    for (const QPointer<WindowView>& view : views) {
        if (view) {
            view->sync();
        }
    }
}

}  // namespace veltrask::ui
