#include "serial/line_choice.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/settings_store.h"
#include "serial/serial_port.h"

namespace vexal::serial {
namespace {

constexpr std::array<std::pair<char, Parity>, 5> kParities{
    {{'N', Parity::None}, {'O', Parity::Odd}, {'E', Parity::Even}, {'M', Parity::Mark}, {'S', Parity::Space}}};
constexpr std::array<std::pair<std::string_view, StopBits>, 3> kStopBits{
    {{"1", StopBits::One}, {"1.5", StopBits::OneAndHalf}, {"2", StopBits::Two}}};
constexpr std::array<std::pair<std::string_view, FlowControl>, 3> kFlows{
    {{"none", FlowControl::None}, {"hardware", FlowControl::Hardware}, {"software", FlowControl::Software}}};

}  // namespace

bool parseLineChoice(std::string_view text, LineChoice& choice) {
    LineChoice parsed;
    std::string_view format = text;
    if (const size_t comma = text.find(','); comma != std::string_view::npos) {
        format = text.substr(0, comma);
        const std::string_view flow = text.substr(comma + 1);
        const auto* f = std::find_if(kFlows.begin(), kFlows.end(), [&](const auto& e) { return e.first == flow; });
        if (f == kFlows.end()) return false;
        parsed.flow = f->second;
    }
    if (format.size() < 3 || format[0] < '5' || format[0] > '8') return false;
    parsed.byteSize = static_cast<uint8_t>(format[0] - '0');
    const char parity = static_cast<char>(std::toupper(static_cast<unsigned char>(format[1])));
    const auto* p = std::find_if(kParities.begin(), kParities.end(), [&](const auto& e) { return e.first == parity; });
    const auto* s = std::find_if(kStopBits.begin(), kStopBits.end(),
                                 [&](const auto& e) { return e.first == format.substr(2); });
    if (p == kParities.end() || s == kStopBits.end()) return false;
    parsed.parity = p->second;
    parsed.stopBits = s->second;
    choice = parsed;
    return true;
}

std::string lineChoiceText(const LineChoice& choice) {
    std::string text(1, static_cast<char>('0' + choice.byteSize));
    for (const auto& [letter, parity] : kParities)
        if (parity == choice.parity) text += letter;
    for (const auto& [word, bits] : kStopBits)
        if (bits == choice.stopBits) text += word;
    for (const auto& [word, flow] : kFlows)
        if (flow == choice.flow) text += "," + std::string(word);
    return text;
}

LineChoice serialLineSetting() {
    platform::SettingsKey key(platform::SettingsKey::Root::User);
    std::string value;
    LineChoice choice;
    if (key.Open("Mendra") && key.ReadString(kSerialLineSetting, value) == 0) parseLineChoice(value, choice);
    return choice;
}

bool applyLineChoice(SerialPort& port, const LineChoice& choice) {
    return port.setByteSize(choice.byteSize) && port.setParity(choice.parity) && port.setStopBits(choice.stopBits) &&
           port.setFlowControl(choice.flow);
}

}  // namespace vexal::serial
