#pragma once
// The terminal commands of the FA dump, for vexal-cli to call once it has its session:
//   fadump [--out FILE.dmz] [--customer FILE] [--mail]
//   fadump-view FILE.dmz
// Both return vexal-cli exit statuses: 0 done, 1 failed, 2 usage, 4 environment.
#include <ostream>
#include <string>

#include "operator/operator.h"
#include "command/scsi_device.h"
#include "fadump/zip_archive.h"

namespace vexal::fadump {

struct DumpCommandOptions {
    std::string out;           // empty: InstallPath + "FADump/" + serial + ".dmz"
    std::string customerFile;  // empty: the operator is asked for each field
    bool mail = false;
    std::string mailProgram = "xdg-email";
};

// The full dump of the selected `device`. Errors go to `err` as one sentence.
int RunDumpCommand(command::CScsiDevice& device, ui::Operator& op, const DumpCommandOptions& options,
                   std::ostream& out, std::ostream& err);

// Expands and scans `file`, prints the title, the files made and the section lines.
int RunViewCommand(ui::Operator& op, const std::string& file, std::ostream& out,
                   const ExtractLimits& limits = {});

}  // namespace vexal::fadump
