#include "device/virtual/firmware_download.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "device/drive_family.h"
#include "device/virtual/byte_order.h"
#include "device/virtual/cartridge_file.h"
#include "device/virtual/inquiry_data.h"

namespace vexal::device::virt {
namespace {

// CDB bytes of WRITE BUFFER, for the field pointer.
constexpr uint16_t kModeByte = 1, kIdByte = 2, kOffsetByte = 3, kLengthByte = 6;
constexpr uint8_t kDownload = 0x04, kDownloadAndSave = 0x05;

bool printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

Sense badImage() { return makeSense(sense_key::IllegalRequest, 0x26, 0x00); }

}  // namespace

std::vector<uint8_t> makeFirmwareImage(std::string_view revision, size_t length) {
    std::vector<uint8_t> image(std::max(length, kFirmwareHeaderSize));
    for (size_t i = kFirmwareHeaderSize; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
    std::copy(kFirmwareMagic.begin(), kFirmwareMagic.end(), image.begin());
    std::string padded(revision.substr(0, 4));
    padded.resize(4, ' ');
    std::copy(padded.begin(), padded.end(), image.begin() + 8);
    putBe32(&image[12], static_cast<uint32_t>(image.size()));
    return image;
}

bool checkFirmwareImage(std::span<const uint8_t> image, std::string& revision, Sense& error) {
    if (image.size() < kFirmwareHeaderSize ||
        !std::equal(kFirmwareMagic.begin(), kFirmwareMagic.end(), image.begin()) ||
        getBe32(&image[12]) != image.size()) {
        error = badImage();
        return false;
    }
    std::string text(image.begin() + 8, image.begin() + 12);
    if (!printable(text)) {
        error = badImage();
        return false;
    }
    revision = std::move(text);
    return true;
}

FirmwareDownload::FirmwareDownload(Setup setup, Clock clock) : setup_(setup), clock_(std::move(clock)) {}

bool FirmwareDownload::abandon(Sense& error, Sense why) {
    image_.clear();
    error = std::move(why);
    return false;
}

bool FirmwareDownload::write(uint8_t mode, uint8_t bufferId, uint32_t offset, const uint8_t* data, uint32_t length,
                             std::string& newRevision, Sense& error) {
    newRevision.clear();
    if (mode != kDownload && mode != kDownloadAndSave) return abandon(error, invalidCdbField(kModeByte, 4));
    if (bufferId != setup_.bufferId) return abandon(error, invalidCdbField(kIdByte));
    if (length > 0 && !data) return abandon(error, makeSense(sense_key::AbortedCommand, 0x4B, 0x00));
    if (offset == 0) image_.clear();  // a new download
    if (offset != image_.size()) return abandon(error, invalidCdbField(kOffsetByte));

    const bool repeatsLastPiece = mode == kDownloadAndSave && !setup_.saveCarriesLastPiece && !image_.empty();
    if (repeatsLastPiece) {
        if (length > image_.size() || !std::equal(data, data + length, image_.end() - length))
            return abandon(error, invalidParameterField(0));
    } else {
        if (length > kMaxFirmwareImage - image_.size()) return abandon(error, invalidCdbField(kLengthByte));
        // The header is checked as soon as the first piece brings it.
        if (offset == 0 && length >= kFirmwareMagic.size()) {
            const auto* end = data + kFirmwareMagic.size();
            const auto* bad = std::mismatch(data, end, kFirmwareMagic.begin()).first;
            if (bad != end) return abandon(error, invalidParameterField(static_cast<uint16_t>(bad - data)));
        }
        image_.insert(image_.end(), data, data + length);
    }
    if (mode == kDownload) return true;

    std::string revision;
    if (!checkFirmwareImage(image_, revision, error)) return abandon(error, error);
    image_.clear();
    restartedAt_ = clock_();
    newRevision = std::move(revision);
    return true;
}

bool FirmwareDownload::offBus() const { return restartedAt_ && clock_() < *restartedAt_ + setup_.offline; }

bool FirmwareDownload::becomingReady() const {
    return restartedAt_ && clock_() < *restartedAt_ + setup_.offline + setup_.notReady;
}

FirmwareDownload::Setup firmwareSetup(const DeviceProfile& profile) {
    const std::vector<uint8_t> inquiry = standardInquiry(profile);
    const bool family3 = familyFromInquiry(true, inquiry.data(), inquiry.size(), profile.pageC1) == 3;
    FirmwareDownload::Setup setup;
    setup.bufferId = family3 ? 0x03 : 0x00;
    setup.saveCarriesLastPiece = family3;
    setup.offline = std::chrono::seconds(profile.firmwareOfflineSeconds);
    setup.notReady = std::chrono::seconds(profile.firmwareNotReadySeconds);
    return setup;
}

std::filesystem::path firmwareRevisionPath(const std::string& serial) {
    std::filesystem::path path = cartridgePath(serial);
    path.replace_extension(".vfw");
    return path;
}

bool saveFirmwareRevision(const std::string& serial, const std::string& revision, std::string& error) {
    const std::filesystem::path path = firmwareRevisionPath(serial);
    std::filesystem::path temporary = path;
    temporary += ".new";
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << revision << "\n";
        out.flush();
        if (!out) {
            error = "The virtual drive's new firmware revision cannot be saved to " + path.string() + ".";
            return false;
        }
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        error = "The virtual drive's new firmware revision cannot be saved to " + path.string() + ".";
        return false;
    }
    return true;
}

DeviceProfile withSavedFirmware(DeviceProfile profile, WarningLog& warnings) {
    const std::filesystem::path path = firmwareRevisionPath(profile.serial);
    std::ifstream in(path, std::ios::binary);
    if (!in) return profile;  // never updated
    char text[8] = {};
    in.read(text, sizeof text);
    const auto count = static_cast<size_t>(in.gcount());
    const std::string_view content(text, count);
    if ((count == 4 || (count == 5 && text[4] == '\n')) && printable(content.substr(0, 4))) {
        profile.revision = std::string(content.substr(0, 4));
        return profile;
    }
    warnings.add("The virtual drive's firmware revision file " + path.string() +
              " is damaged and ignored; the drive runs the profile's revision.");
    return profile;
}

}  // namespace vexal::device::virt
