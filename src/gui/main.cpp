// vexal: the desktop console. For now: the start-up sequence, then the device list.
#include <QApplication>
#include <QCommandLineParser>
#include <QHeaderView>
#include <QMainWindow>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTableWidget>

#include "app/startup.h"
#include "device/bus_scan.h"
#include "gui/qt_operator.h"
#include "log/log_system.h"
#include "platform/single_instance.h"

using namespace vexal;

namespace {

class WindowHooks : public app::StartupHooks {
public:
    explicit WindowHooks(QMainWindow& window) : window_(window) {}
    void setTitle(std::string_view title) override { window_.setWindowTitle(QString::fromUtf8(title.data(), int(title.size()))); }
    void placeWindow(const app::UserSettings& s) override {
        if (s.fullScreen) window_.showMaximized();
        else if (s.hasPlacement()) window_.setGeometry(s.left, s.top, s.right - s.left, s.bottom - s.top);
        window_.show();
    }
    bool showCaution() override {
        QMessageBox box(QMessageBox::Warning, app::kCautionHeading, app::kCautionBody, QMessageBox::NoButton, &window_);
        auto* go = box.addButton("Continue", QMessageBox::AcceptRole);
        box.addButton("Exit", QMessageBox::RejectRole);
        box.exec();
        return box.clickedButton() == go;
    }

private:
    QMainWindow& window_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vexal");
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption virtualOption("virtual", "Use the virtual devices for this run.");
    QCommandLineOption profileOption("profile", "The virtual devices' profile file.", "file");
    parser.addOptions({virtualOption, profileOption});
    parser.process(application);
    log::ignoreFileSizeSignal();

    QMainWindow window;
    platform::SingleInstance instance("vexal");
    if (!instance.acquire([&window] {
            QMetaObject::invokeMethod(&window, [&window] {
                window.showNormal();
                window.raise();
                window.activateWindow();
            });
        }))
        return 0;  // the running console was asked to come to the front

    auto* table = new QTableWidget(&window);  // owned by the window
    table->setColumnCount(7);
    table->setHorizontalHeaderLabels(
        {"Vendor", "Model", "Product Revision", "Serial Number", "HBA ID", "Target ID", "LUN ID"});
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    window.setCentralWidget(table);
    window.resize(900, 400);

    gui::QtOperator op(&window);
    WindowHooks hooks(window);
    app::CFalderApp app(op, hooks);
    device::BusScanner scanner(op);
    app::StartupState state;
    if (parser.isSet(virtualOption) || parser.isSet(profileOption)) {
        state.config.kind = device::TransportKind::Virtual;
        state.transportChosen = true;
        state.config.virtualProfile = parser.value(profileOption).toStdString();
    }
    if (!app::InitInstance(app, hooks, op, scanner, state)) return 0;
    table->setRowCount(scanner.deviceCount());
    for (const auto& d : scanner.devices()) {
        const auto cells = device::deviceListRow(d);
        for (int c = 0; c < static_cast<int>(cells.size()); ++c)
            table->setItem(d.index, c, new QTableWidgetItem(QString::fromStdString(cells[c])));
    }
    window.show();
    const int rc = application.exec();
    app::ExitInstance(app);
    return rc;
}
