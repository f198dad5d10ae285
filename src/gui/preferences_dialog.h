#pragma once
// Preferences: an option tree (general setup, load count threshold, folders, colours)
// with Apply, Close and Load Defaults. Apply writes in a fixed order.
#include <QDialog>

#include <array>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/falder_app.h"
#include "command/scsi_device.h"
#include "log/view_colours.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexal::gui {

struct PreferencesContext {
    app::CFalderApp& app;
    ui::Operator& op;
    log::ViewColours& colours;
    std::filesystem::path installPath;
    // The selected device and its family; null when none is selected.
    command::CScsiDevice* device = nullptr;
    uint8_t familyCode = 0;
    std::function<void()> coloursChanged;  // redraw the view
    std::function<bool()> resetDefaults;   // "Load Defaults": true when the operator said Yes
};

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(PreferencesContext context, QWidget* parent = nullptr);

    // The tree's items by their text; null when not shown.
    QTreeWidgetItem* item(const QString& text) const;
    // Stands for a colour picked in the colour dialog (tests).
    void setColour(log::ColourSlot slot, uint32_t colour);
    void apply();
    void loadDefaults();
    bool applyEnabled() const;

private:
    void fill();
    void changed();
    void pickColour(QTreeWidgetItem* item);
    bool applyEngineeringMode();

    PreferencesContext c_;
    QTreeWidget* tree_;
    QLabel* help_;
    QPushButton* apply_;
    std::array<uint32_t, log::kColourCount> pending_{};
    std::optional<long> threshold_;  // read from the drive
    QTreeWidgetItem* allowEngineering_ = nullptr;
    QTreeWidgetItem* engage_ = nullptr;
    QTreeWidgetItem* thresholdItem_ = nullptr;
    bool filling_ = false;
};

}  // namespace vexal::gui
