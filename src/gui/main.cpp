// vexal: the desktop console. For now it scans the buses and shows the device list.
#include <QApplication>
#include <QCommandLineParser>
#include <QHeaderView>
#include <QMainWindow>
#include <QTableWidget>

#include "device/bus_scan.h"
#include "device/device_library.h"
#include "device/drive_family.h"
#include "gui/qt_operator.h"
#include "platform/settings_store.h"

using namespace vexal;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vexal");
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption virtualOption("virtual", "Use the virtual devices (optional profile file).", "profile", "");
    QCommandLineOption transportOption("transport", "Transport: sg, iscsi or virtual.", "kind");
    QCommandLineOption portalOption("portal", "iSCSI portal HOST[:PORT].", "portal");
    parser.addOptions({virtualOption, transportOption, portalOption});
    parser.process(app);

    QMainWindow window;
    window.setWindowTitle("Vexal");
    auto* table = new QTableWidget(&window);  // owned by the window
    table->setColumnCount(7);
    table->setHorizontalHeaderLabels(
        {"Vendor", "Model", "Product Revision", "Serial Number", "HBA ID", "Target ID", "LUN ID"});
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    window.setCentralWidget(table);
    window.resize(900, 400);
    window.show();

    gui::QtOperator op(&window);
    device::ScanConfig config;
    std::string kind = parser.value(transportOption).toStdString();
    if (parser.isSet(virtualOption)) {
        kind = "virtual";
        config.virtualProfile = parser.value(virtualOption).toStdString();
    }
    if (kind.empty()) {
        platform::SettingsKey key;
        if (!key.Open("Mendra") || key.ReadString("Transport", kind) != 0) kind = "sg";
    }
    device::parseTransportKind(kind, config.kind);
    for (const QString& p : parser.values(portalOption)) config.portals.push_back(p.toStdString());

    device::DevStartup(1);
    device::BusScanner scanner(op);
    scanner.ScanBuses(config);
    table->setRowCount(scanner.deviceCount());
    for (const auto& d : scanner.devices()) {
        const auto cells = device::deviceListRow(d);
        for (int c = 0; c < static_cast<int>(cells.size()); ++c)
            table->setItem(d.index, c, new QTableWidgetItem(QString::fromStdString(cells[c])));
    }
    const int rc = app.exec();
    device::DevFreeList();
    return rc;
}
