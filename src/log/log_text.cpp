#include "log/log_text.h"

#include <locale.h>

#include <array>

#include <fmt/printf.h>

namespace vexal::log {

std::string logBaseName(const std::tm& local, std::string_view serialNumber) {
    while (!serialNumber.empty() && (serialNumber.back() == ' ' || serialNumber.back() == '\0'))
        serialNumber.remove_suffix(1);
    std::string serial(serialNumber);
    for (char& c : serial)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    return fmt::sprintf("Vexal_%02i-%02i-%4i_%02i%02i%02i_%s", local.tm_mon + 1, local.tm_mday,
                        local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, serial);
}

std::string logTimeText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    // The front ends may set the user's locale; the log's time stamps stay in the C one.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    std::array<char, 128> buffer{};
    const size_t n = cLocale ? strftime_l(buffer.data(), buffer.size(), "%a %b %d %I:%M:%S %p %Y", &local, cLocale)
                             : strftime(buffer.data(), buffer.size(), "%a %b %d %I:%M:%S %p %Y", &local);
    return std::string(buffer.data(), n);
}

std::string logHeader(std::string_view startTime, const platform::SystemInformation& system) {
    std::string details = system.text;
    while (!details.empty() && (details.back() == '\n' || details.back() == '\r')) details.pop_back();
    std::string header;
    header += fmt::format("{} Version {} Log File\n", kLogTitle, kVersionTag);
    header += fmt::format("Start Time: {}\n\n", startTime);
    header += fmt::format("Computer Name: {}\n", system.computerName);
    header += fmt::format("Operating System: {}\n", system.osName);
    header += details + "\n\n";
    return header;
}

std::string logTrailer(std::string_view stopTime) { return fmt::format("\nStop Time: {}\n\n", stopTime); }

std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    // Copied a run at a time: most lines hold no line feed at all.
    size_t from = 0;
    for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        out.append(text.substr(from, at - from));
        if (at == 0 || text[at - 1] != '\r') out += '\r';
        from = at;
    }
    out.append(text.substr(from));
    return out;
}

}  // namespace vexal::log
