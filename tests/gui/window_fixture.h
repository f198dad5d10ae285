#pragma once
// What the desktop's tests share: a main window started on the virtual devices in a fresh
// install folder (engineering mode remembered or not, an optional virtual profile), torn
// down after each test, and a wait that keeps the event loop running.
#include <QTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/pass_phrases.h"
#include "app/startup.h"
#include "app/user_settings.h"
#include "gui/log_view.h"
#include "gui/main_window.h"
#include "support/fake_operator.h"
#include "support/test_root.h"

namespace vexal::testing {

// Waits, with the event loop running, until `done` holds; false after `seconds`.
template <typename F>
bool waitFor(F done, int seconds = 30) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QTest::qWait(20);
    }
    return true;
}

inline int countRows(gui::LogView& view, const QString& text) {
    int n = 0;
    for (size_t i = 0; i < view.drawnCount(); ++i) n += view.rowText(i).contains(text) ? 1 : 0;
    return n;
}

class WindowFixture {
protected:
    std::unique_ptr<TempRoot> root_;
    std::unique_ptr<FakeOperator> op_;
    std::unique_ptr<gui::MainWindow> window_;

    void setUpWindowTest() {
        root_ = std::make_unique<TempRoot>();
        op_ = std::make_unique<FakeOperator>();
    }
    void tearDownWindowTest() {
        if (window_) {
            app::ExitInstance(window_->application());
            window_.reset();
        }
        op_.reset();
        root_.reset();
    }

    // A window started on the virtual devices, optionally with engineering mode remembered
    // and with a virtual profile of its own.
    gui::MainWindow& startWindow(bool engineering, const std::string& profile = {}) {
        if (engineering) {
            app::UserSettings s;
            app::LoadSettings(s);
            app::WriteSetting("PasswordSet", 1);
            app::WriteSetting("Password", app::engineeringDigest());
            app::WriteSetting("ShowEngineeringMode", 1);
        }
        window_ = std::make_unique<gui::MainWindow>(op_.get());
        gui::StartOptions options;
        options.config.kind = device::TransportKind::Virtual;
        options.transportChosen = true;
        options.skipCaution = true;
        if (!profile.empty()) {
            options.config.virtualProfile = (root_->path() / "profile.ini").string();
            std::ofstream(options.config.virtualProfile) << profile;
        }
        if (!window_->start(options)) qFatal("the window did not start");
        return *window_;
    }
};

}  // namespace vexal::testing
