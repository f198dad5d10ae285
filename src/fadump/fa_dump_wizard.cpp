#include "fadump/fa_dump_wizard.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>

#include "fadump/atomic_file.h"
#include "fadump/dump_files.h"
#include "fadump/zip_archive.h"
#include "platform/file_errors.h"

namespace vexal::fadump {
namespace {

constexpr std::string_view kProgressText = "Generating the FA dump...";

// Ends the progress window however the run ends.
class ProgressWindow {
public:
    explicit ProgressWindow(ui::Operator& op) : op_(op) { op_.progressBegin(kProgressText, 0, kChunkSize); }
    ~ProgressWindow() { op_.progressEnd(); }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

private:
    ui::Operator& op_;
};

class Run {
public:
    Run(command::CScsiDevice& device, ui::Operator& op, const DumpSetup& setup, const CustomerInfo& info)
        : op_(op), setup_(setup), info_(info), reader_(device) {
        result_.file = setup.file;
    }

    WizardResult go() {
        const bool ok = dump();
        result_.ok = ok;
        op_.message(ok ? kSuccessText : kFailureText, kWizardCaption, ok ? ui::Icon::Information : ui::Icon::Exclamation);
        return result_;
    }

private:
    bool failed(std::string why) {
        result_.failure = std::move(why);
        return false;
    }
    // A file error: its text for the operator, and the wizard fails.
    bool fileError(int error, const std::filesystem::path& file) {
        const std::string text = platform::fileErrorText(platform::causeFromErrno(error), file.string());
        op_.message(text, kWizardCaption, ui::Icon::Stop);
        result_.failureShown = true;
        return failed(text);
    }

    bool dump() {
        const std::filesystem::path dmz = setup_.file;
        const std::filesystem::path dmp = withExtension(dmz, kRawExtension);
        std::error_code ec;
        if (dmz.has_parent_path()) std::filesystem::create_directories(dmz.parent_path(), ec);
        // An earlier dump of that name goes first (a read-only .dmz too).
        for (const auto& old : {dmz, dmp}) {
            if (!std::filesystem::remove(old, ec) && ec) return fileError(ec.value(), old);
        }
        AtomicFile raw(dmp);
        if (!raw.ok()) return fileError(raw.error(), dmp);

        ProgressWindow progress(op_);
        std::string why;
        if (!reader_.checkSource(result_.layout, why)) return failed("The dump source check failed: " + why + ".");
        if (!readBuffers(raw)) return false;

        const auto records = customerRecords(info_);
        if (!raw.write(records.data(), records.size())) return fileError(raw.error(), dmp);
        if (!raw.commit()) return fileError(raw.error(), dmp);

        int error = 0;
        if (!compressFile(dmp, dmz, 0444, error)) {
            std::filesystem::remove(dmp, ec);
            return fileError(error, dmz);
        }
        std::filesystem::remove(dmp, ec);
        return true;
    }

    bool readBuffers(AtomicFile& raw) {
        struct Source {
            uint8_t id;
            uint32_t size;
        };
        std::vector<Source> sources;
        uint64_t total = 0;
        for (uint8_t id : dumpBuffers(setup_, result_.layout)) {
            uint32_t size = 0;
            if (!reader_.capacity(id, size))
                return failed(fmt::format("The descriptor of buffer {:02X}h could not be read.", id));
            sources.push_back({id, size});
            total += size;
        }
        if (total == 0) return failed("The drive's dump buffers are empty.");
        const int maximum = static_cast<int>(std::min<uint64_t>(total + kChunkSize, INT_MAX));
        op_.progressSetRange(0, maximum);
        int position = 0;
        std::vector<uint8_t> chunk;
        for (const Source& s : sources) {
            for (const Chunk& c : chunkPlan(s.size)) {
                if (!reader_.data(s.id, c.offset, c.length, chunk))
                    return failed(fmt::format("Buffer {:02X}h could not be read at offset {}.", s.id, c.offset));
                if (!raw.write(chunk.data(), chunk.size())) return fileError(raw.error(), raw.target());
                result_.dumpBytes += c.length;
                position = std::min(maximum, position + static_cast<int>(kChunkSize));
                op_.progressSetPosition(position);
            }
        }
        return true;
    }

    ui::Operator& op_;
    const DumpSetup& setup_;
    const CustomerInfo& info_;
    DumpReader reader_;
    WizardResult result_;
};

}  // namespace

std::vector<uint8_t> dumpBuffers(const DumpSetup& setup, Layout layout) {
    if (!setup.custom) return {dumpBuffer(layout)};
    std::vector<uint8_t> ids;
    for (size_t i = 0; i < kCustomItems.size(); ++i) {
        if (!setup.items[i]) continue;
        if (kCustomItems[i].buffer == 0) ids.push_back(dumpBuffer(layout));
        else if (layout == Layout::Large) ids.push_back(kCustomItems[i].buffer);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool chooseDumpFile(ui::Operator& op, DumpSetup& setup) {
    std::string path = setup.file.string();
    if (!op.chooseFile(ui::FileDialog::Save, kFileLocationHelp, kDumpFileFilter, path) || path.empty()) return false;
    std::filesystem::path chosen = path;
    if (!chosen.has_extension()) chosen += "." + std::string(kDumpFileDefaultExtension);
    setup.file = chosen;
    return true;
}

WizardResult RunDumpWizard(command::CScsiDevice& device, ui::Operator& op, const DumpSetup& setup,
                           const CustomerInfo& info) {
    return Run(device, op, setup, info).go();
}

}  // namespace vexal::fadump
