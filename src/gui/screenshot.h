#pragma once
// Screenshots for the documentation: after an unattended start on the virtual drive, the
// main window (after one INQUIRY), the cartridge memory window, or the chart window of a
// script run is grabbed into a picture file and the program ends.
#include <QString>

namespace vexal::gui {

class MainWindow;

enum class ShotView { Window, Mam, Chart };

// "window", "mam" or "chart"; false for anything else.
bool shotViewNamed(const QString& name, ShotView& view);

// `script`: the script whose chart window is grabbed (ShotView::Chart). The program's exit
// status is 0 when the picture was written, 1 otherwise.
void grabAfterStart(MainWindow& window, const QString& file, ShotView view, const QString& script = {});

}  // namespace vexal::gui
