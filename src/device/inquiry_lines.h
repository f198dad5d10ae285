#pragma once
// The identity lines of standard INQUIRY data ("   Device Type: Tape", "   Vendor ID: ...",
// the capability bits, the vendor block), shared by the INQUIRY command and the script's
// identity listing. Each line appears only when the bytes it reads are in the data.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::device {

struct InquiryListing {
    // With the vendor block (bytes 36 to 55): product family, released firmware, the
    // version bytes, loader, library and module revision.
    bool vendorBlock = true;
    // The product family text of byte 36: each listing has a table of its own.
    std::string_view (*family)(uint8_t byte36) = nullptr;
};

std::vector<std::string> inquiryLines(const uint8_t* data, size_t length, const InquiryListing& listing);

}  // namespace vexal::device
