#pragma once
// The cartridge memory window (one tab per attribute group) and the EEPROM parameter tree.
#include <QDialog>

#include <filesystem>

#include "operator/operator.h"
#include "command/scsi_device.h"

namespace vexal::gui {

class MamDialog : public QDialog {
    Q_OBJECT
public:
    MamDialog(command::CScsiDevice& device, bool engineeringMode, QWidget* parent = nullptr);
};

// Reads the drive's EEPROM parameter page and shows it as a tree; in engineering mode a
// double-clicked parameter can be given a new value, written to the drive at once.
void showEepromDialog(command::CScsiDevice& device, ui::Operator& op, const std::filesystem::path& installPath,
                      bool engineeringMode, QWidget* parent);

}  // namespace vexal::gui
