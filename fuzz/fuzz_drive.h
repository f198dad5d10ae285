#pragma once
// A drive for fuzz targets whose parser is reached only through a command: every command
// sent to device 0 is answered with the next reply of the fuzz input, so the bytes reach
// the parser exactly as a drive's data, status and sense would.
//
// Input: a sequence of replies, each
//   [kind] [data length, 2 bytes big-endian] [data] ...
// kind bits 0-1: 0 GOOD, 1 CHECK CONDITION, 2 BUSY, 3 transport error (no device status);
// kind bit 2: a 4-byte big-endian residual follows the data (any value, even more than the
// buffer); kind bit 3: a sense length byte and that many sense bytes follow (after the
// residual). Without bit 2 the residual is the part of the buffer the data did not fill.
// A command after the last reply ends CHECK CONDITION without sense, so loops end.
//
// Seeds come from the virtual drive: with VEXAL_FUZZ_CAPTURE=<file> set, a target runs its
// command sequence once against the virtual drive and writes the replies in this format.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "command/command_output.h"
#include "command/scsi_device.h"
#include "device/device_library.h"
#include "device/transport.h"
#include "device/virtual/virtual_transport.h"
#include "platform/event.h"
#include "support/fake_operator.h"

namespace vexal::fuzz {

namespace fs = std::filesystem;

// A fresh VEXAL_ROOT for the process, so that profile and side files stay out of the way;
// in memory where there is a tmpfs, as side files are synced to disk on every write.
inline const fs::path& fuzzRoot() {
    static const fs::path path = [] {
        std::error_code ec;
        const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string tmpl = (base / "vexal-fuzz-XXXXXX").string();
        const char* made = mkdtemp(tmpl.data());
        fs::path p = made ? fs::path(made) : fs::temp_directory_path() / "vexal-fuzz";
        fs::create_directories(p);
        setenv("VEXAL_ROOT", p.c_str(), 1);
        return p;
    }();
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(fuzzRoot(), ec);
        });
        return true;
    }();
    (void)removedAtExit;
    return path;
}

inline void writeBytes(const fs::path& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The identity the enumeration sees when the replies are not meant for INQUIRY.
inline std::vector<uint8_t> fixedIdentity() {
    std::vector<uint8_t> id(56, 0);
    id[0] = 0x01;
    id[4] = 51;
    const std::string_view text = "VEXAL   FUZZ DRIVE      V100";
    std::copy(text.begin(), text.end(), id.begin() + 8);
    id[36] = 0xA1;
    return id;
}

inline bool isStandardInquiry(const device::RequestBlock& srb) {
    return srb.cdb[0] == 0x12 && (srb.cdb[1] & 0x01) == 0;
}

// Output that is thrown away; the lines are still formatted.
class NullOutput : public command::CommandOutput {
public:
    explicit NullOutput(bool engineering = true) : engineering_(engineering) {}
    void addToView(std::string_view line) override { bytes += line.size(); }
    void writeLog(int, std::string_view line) override { bytes += line.size(); }
    bool engineeringMode() const override { return engineering_; }
    size_t bytes = 0;

private:
    bool engineering_;
};

class ScriptedTransport : public device::Transport {
public:
    bool repliesForInquiry = false;  // false: a standard INQUIRY gets fixedIdentity()

    std::string_view name() const override { return "fuzz"; }
    void setInput(std::span<const uint8_t> input) {
        input_ = input;
        pos_ = 0;
    }

    int sendSrb(device::RequestBlock& srb) override {
        using namespace device;
        switch (srb.command) {
        case SrbCommand::HostAdapterInquiry:
            srb.adapterCount = 1;
            srb.maxTargets = 16;
            return finish(srb, srb_status::Complete);
        case SrbCommand::ExecuteScsi:
            if (srb.hostAdapter != 0 || srb.target != 0 || srb.lun != 0) return finish(srb, srb_status::NoDevice);
            answer(srb);
            if (srb.post && (srb.flags & srb_flags::EventNotify)) srb.post->set();
            return 0;
        default:
            return finish(srb, srb_status::Complete);
        }
    }

private:
    static int finish(device::RequestBlock& srb, uint8_t status) {
        srb.status.store(status);
        if (srb.post && (srb.flags & device::srb_flags::EventNotify)) srb.post->set();
        return 0;
    }

    uint8_t byte() { return pos_ < input_.size() ? input_[pos_++] : 0; }
    std::span<const uint8_t> take(size_t n) {
        n = std::min(n, input_.size() - pos_);
        const auto out = input_.subspan(pos_, n);
        pos_ += n;
        return out;
    }

    void answer(device::RequestBlock& srb) {
        using namespace device;
        srb.senseLength = 0;
        if (!repliesForInquiry && isStandardInquiry(srb)) {
            const auto id = fixedIdentity();
            const size_t n = srb.buffer ? std::min<size_t>(srb.bufferLength, id.size()) : 0;
            if (n) std::copy_n(id.begin(), n, srb.buffer);
            srb.residual = srb.bufferLength - static_cast<uint32_t>(n);
            srb.status.store(srb_status::Complete);
            return;
        }
        if (pos_ >= input_.size()) return checkCondition(srb, {});
        const uint8_t kind = byte();
        const size_t length = (size_t{byte()} << 8) | byte();
        const auto data = take(length);
        const size_t n = srb.buffer && (srb.flags & srb_flags::DataIn) ? std::min<size_t>(srb.bufferLength, data.size()) : 0;
        if (n) std::copy_n(data.begin(), n, srb.buffer);
        srb.residual = srb.bufferLength - static_cast<uint32_t>(n);
        if (kind & 0x04) {
            uint32_t r = 0;
            for (int i = 0; i < 4; ++i) r = (r << 8) | byte();
            srb.residual = r;
        }
        std::span<const uint8_t> sense;
        if (kind & 0x08) sense = take(byte());
        switch (kind & 0x03) {
        case 0: srb.status.store(srb_status::Complete); break;
        case 1: checkCondition(srb, sense); break;
        case 2:
            srb.targetStatus = target_status::Busy;
            srb.status.store(srb_status::Error);
            break;
        default: srb.status.store(srb_status::InvalidCommand); break;
        }
    }

    static void checkCondition(device::RequestBlock& srb, std::span<const uint8_t> sense) {
        srb.targetStatus = device::target_status::CheckCondition;
        srb.senseArea.fill(0);
        const size_t n = std::min(sense.size(), srb.senseArea.size());
        std::copy_n(sense.begin(), n, srb.senseArea.begin());
        srb.senseLength = static_cast<uint8_t>(n);
        srb.status.store(device::srb_status::Error);
    }

    std::span<const uint8_t> input_;
    size_t pos_ = 0;
};

// Wraps the virtual drive and writes every reply of device 0 in the input format above.
class RecordingTransport : public device::Transport {
public:
    RecordingTransport(std::shared_ptr<device::Transport> inner, bool recordInquiry)
        : inner_(std::move(inner)), recordInquiry_(recordInquiry) {}
    std::vector<uint8_t> recorded;

    std::string_view name() const override { return "fuzz-capture"; }
    int sendSrb(device::RequestBlock& srb) override {
        using namespace device;
        if (srb.command != SrbCommand::ExecuteScsi || srb.hostAdapter || srb.target || srb.lun)
            return inner_->sendSrb(srb);
        // Made synchronous so that the reply is complete when it is written down.
        platform::Event done;
        platform::Event* post = srb.post;
        const uint8_t flags = srb.flags;
        srb.post = &done;
        srb.flags |= srb_flags::EventNotify;
        const int rc = inner_->sendSrb(srb);
        if (rc == 0 && srb.status.load() == srb_status::Pending) done.wait(std::chrono::seconds(60));
        srb.post = post;
        srb.flags = flags;
        if (recordInquiry_ || !isStandardInquiry(srb)) record(srb);
        if (post && (flags & srb_flags::EventNotify)) post->set();
        return rc;
    }

private:
    void record(const device::RequestBlock& srb) {
        using namespace device;
        const uint8_t status = srb.status.load();
        uint8_t kind = 3;
        if (status == srb_status::Complete) kind = 0;
        else if (status == srb_status::Error && srb.targetStatus == target_status::CheckCondition) kind = 1;
        else if (status == srb_status::Error) kind = 2;
        const bool dataIn = srb.buffer && (srb.flags & srb_flags::DataIn);
        size_t n = dataIn ? srb.bufferLength - std::min(srb.residual, srb.bufferLength) : 0;
        n = std::min<size_t>(n, 0xFFFF);
        if (srb.senseLength > 0) kind |= 0x08;
        recorded.push_back(kind);
        recorded.push_back(static_cast<uint8_t>(n >> 8));
        recorded.push_back(static_cast<uint8_t>(n));
        if (n) recorded.insert(recorded.end(), srb.buffer, srb.buffer + n);
        if (kind & 0x08) {
            const size_t s = std::min<size_t>(srb.senseLength, srb.senseArea.size());
            recorded.push_back(static_cast<uint8_t>(s));
            recorded.insert(recorded.end(), srb.senseArea.begin(), srb.senseArea.begin() + s);
        }
    }

    std::shared_ptr<device::Transport> inner_;
    bool recordInquiry_;
};

// The device, its output and an operator, bound to the scripted transport once per process.
class FuzzDrive {
public:
    using Exercise = std::function<void(FuzzDrive&)>;

    // `engineering` false leaves out the dumps of large replies, which would take most of
    // a run's time, while the decoded lines are still made.
    explicit FuzzDrive(bool repliesForInquiry = false, bool engineering = true) : out(engineering), device(out) {
        fuzzRoot();
        transport_ = std::make_shared<ScriptedTransport>();
        transport_->repliesForInquiry = repliesForInquiry;
        device::DevSetTransport(transport_);
        enumerate();
    }

    // Runs `exercise` with `input` as the drive's replies.
    void run(std::span<const uint8_t> input, const Exercise& exercise) {
        transport_->setInput(input);
        op.calls.clear();
        out.bytes = 0;
        exercise(*this);
        transport_->setInput({});
    }

    // Enumerates again (the identity is read through INQUIRY) and selects device 0.
    bool enumerate() {
        device::DevEnumerate();
        return device.Select(0);
    }

    // With VEXAL_FUZZ_CAPTURE set: runs `exercise` against the virtual drive (in engineering
    // mode, which does not change the commands sent), writes the replies to that file and
    // ends the process.
    static void captureIfAsked(bool repliesForInquiry, const Exercise& exercise) {
        const char* target = std::getenv("VEXAL_FUZZ_CAPTURE");
        if (!target) return;
        fuzzRoot();
        std::string error;
        auto virtualDrive = device::makeVirtualTransport("", error);
        if (!virtualDrive) std::exit(2);
        auto recorder = std::make_shared<RecordingTransport>(virtualDrive, repliesForInquiry);
        {
            FuzzDrive drive{std::shared_ptr<device::Transport>(recorder)};
            recorder->recorded.clear();  // the enumeration is not a reply of the exercise
            exercise(drive);
        }
        device::DevFreeList();
        device::DevSetTransport(nullptr);
        writeBytes(target, recorder->recorded);
        std::exit(0);
    }

    NullOutput out;
    testing::FakeOperator op;
    command::CScsiDevice device;

private:
    explicit FuzzDrive(std::shared_ptr<device::Transport> transport) : out(true), device(out) {
        device::DevSetTransport(std::move(transport));
        enumerate();
    }

    std::shared_ptr<ScriptedTransport> transport_;
};

}  // namespace vexal::fuzz

// The two entry points of a target that reads its input directly, with `direct(span)`, and
// as a drive's replies to `exercise(FuzzDrive&)`. The drive is made with
// FuzzDrive(repliesForInquiry, engineering); VEXAL_FUZZ_CAPTURE records seeds instead.
#define VEXAL_FUZZ_DRIVE_TARGET(direct, exercise, repliesForInquiry, engineering)          \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {                                  \
        ::vexal::fuzz::FuzzDrive::captureIfAsked(repliesForInquiry, exercise);            \
        return 0;                                                                         \
    }                                                                                     \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {            \
        const std::span<const uint8_t> input(data, size);                                \
        direct(input);                                                                    \
        static ::vexal::fuzz::FuzzDrive drive(repliesForInquiry, engineering);            \
        drive.run(input, exercise);                                                       \
        return 0;                                                                         \
    }
