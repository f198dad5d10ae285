// libFuzzer target: the page-7 event decoder and the packet analysis on arbitrary bytes:
// the page split into text lines, the packets found, every header parsed and the data
// words of every packet read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "diag/event_packets.h"
#include "diag/event_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vexal::diag;
    EventText text;
    if (DecodeEventPage(std::span<const uint8_t>(data, size), text) != EventPageError::None) return 0;
    const auto packets = analysePackets(text.lines);
    (void)countPacketHeaders(text.lines);
    for (const PacketRecord& p : packets) {
        PacketHeader h;
        (void)parsePacketHeader(text.lines[p.firstLine], h);
        (void)h.timeHours();
        const std::span<const std::string> after(text.lines.data() + p.firstLine + 1, text.lines.size() - p.firstLine - 1);
        uint32_t word = 0;
        for (size_t i = 0; i < 8; ++i) (void)packetDataWord(after, i, word);
    }
    return 0;
}
