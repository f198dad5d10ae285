#include "fadump/fadump_commands.h"

#include "fadump/customer_info.h"
#include "fadump/dump_files.h"
#include "fadump/dump_mail.h"
#include "fadump/dump_viewer.h"
#include "fadump/fa_dump_wizard.h"
#include "platform/paths.h"

namespace vexal::fadump {
namespace {

constexpr int kDone = 0, kFailed = 1, kUsage = 2, kEnvironment = 4;

}  // namespace

int RunDumpCommand(command::CScsiDevice& device, ui::Operator& op, const DumpCommandOptions& options,
                   std::ostream& out, std::ostream& err) {
    DumpSetup setup;
    if (options.out.empty()) {
        setup.file = defaultDumpFile(platform::installPath(), device.serialNumber);
    } else {
        setup.file = options.out;
        if (!setup.file.has_extension()) setup.file += kCompressedExtension;
    }
    CustomerInfo info;
    if (!options.customerFile.empty()) {
        std::string error;
        if (!loadCustomerFile(options.customerFile, info, error)) {
            err << error << "\n";
            return kUsage;
        }
        for (int id : {field::EmailAddress, field::Phone})
            if (!info[id].empty())
                err << "Note: " << fieldName(id).substr(1) << " is not among the fields an FA dump stores.\n";
    } else {
        askCustomerFields(op, info);
    }
    gatherHostFields(info);

    const WizardResult result = RunDumpWizard(device, op, setup, info);
    if (!result.ok) {
        if (!result.failureShown) err << "The FA dump failed: " << result.failure << "\n";
        return kFailed;
    }
    out << "FA dump written to " << result.file.string() << " (" << result.dumpBytes << " bytes read from the drive, "
        << (result.layout == Layout::Large ? "large" : "small") << " buffer layout).\n";
    if (!options.mail) return kDone;

    const int outcome = MailDump(op, result.file, options.mailProgram);
    if (outcome < 0) {
        err << "The dump was not mailed: the mail program " << options.mailProgram << " cannot be run.\n";
        return kEnvironment;
    }
    return outcome == log::kMailSuccess || outcome == log::kMailUserAbort ? kDone : kFailed;
}

int RunViewCommand(ui::Operator& op, const std::string& file, std::ostream& out,
                   const ExtractLimits& limits) {
    const ViewerResult r = OpenDumpFile(op, file, limits);
    // A refusal and a scan error were shown to the operator (stderr on a terminal).
    if (!r.expanded) return kFailed;
    out << r.title << "\n";
    if (r.scanError != scan_error::None) return kFailed;
    out << "Dump: " << r.dmp.string() << "\nText: " << r.ptf.string() << "\nSections: " << r.sectionFile.string()
        << "\n";
    for (const auto& s : r.sections) out << sectionLine(s) << "\n";
    return kDone;
}

}  // namespace vexal::fadump
