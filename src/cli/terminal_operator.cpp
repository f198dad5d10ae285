#include "cli/terminal_operator.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <fmt/format.h>

#include "platform/paths.h"
#include "script/chart_svg.h"

namespace vexal::cli {
namespace {

std::string_view iconWord(ui::Icon icon) {
    switch (icon) {
    case ui::Icon::Information: return "Information";
    case ui::Icon::Exclamation: return "Warning";
    case ui::Icon::Stop: return "Error";
    case ui::Icon::Question: return "Question";
    case ui::Icon::None: break;
    }
    return "Message";
}

std::string_view buttonWord(ui::Button b) {
    switch (b) {
    case ui::Button::Ok: return "OK";
    case ui::Button::Cancel: return "Cancel";
    case ui::Button::Yes: return "Yes";
    case ui::Button::No: return "No";
    }
    return "OK";
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Reads one answer to a button question; false when the text names no offered button.
bool parseButton(const std::string& text, ui::Buttons buttons, ui::Button& out) {
    const std::string t = lower(text);
    const bool yesNo = buttons == ui::Buttons::YesNo || buttons == ui::Buttons::YesNoCancel;
    if (yesNo && (t == "y" || t == "yes")) out = ui::Button::Yes;
    else if (yesNo && (t == "n" || t == "no")) out = ui::Button::No;
    else if (!yesNo && (t == "o" || t == "ok" || t.empty())) out = ui::Button::Ok;
    else if ((buttons == ui::Buttons::OkCancel || buttons == ui::Buttons::YesNoCancel) &&
             (t == "c" || t == "cancel"))
        out = ui::Button::Cancel;
    else return false;
    return true;
}

}  // namespace

TerminalOperator::TerminalOperator(Policy policy, std::deque<std::string> answers, bool quiet)
    : policy_(policy), answers_(std::move(answers)), quiet_(quiet), interactive_(::isatty(STDIN_FILENO) != 0) {}

bool TerminalOperator::loadAnswers(const std::string& path, std::deque<std::string>& answers) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        answers.push_back(line);
    }
    return true;
}

bool TerminalOperator::nextAnswer(std::string& answer) {
    if (answers_.empty()) return false;
    answer = answers_.front();
    answers_.pop_front();
    return true;
}

ui::Button TerminalOperator::message(std::string_view text, std::string_view, ui::Icon icon, ui::Buttons buttons,
                                      ui::Button defaultButton) {
    clearProgress();
    const bool question = buttons != ui::Buttons::Ok;
    if (!question) {
        if (!quiet_ || icon == ui::Icon::Stop || icon == ui::Icon::Exclamation)
            std::cerr << iconWord(icon) << ": " << text << "\n";
        return ui::Button::Ok;
    }
    std::cerr << iconWord(icon) << ": " << text << "\n";
    ui::Button answer = defaultButton;
    std::string given;
    if (nextAnswer(given)) {
        if (!parseButton(given, buttons, answer)) answer = defaultButton;
    } else if (policy_ == Policy::Yes) {
        answer = buttons == ui::Buttons::OkCancel ? ui::Button::Ok : ui::Button::Yes;
    } else if (policy_ == Policy::No) {
        answer = buttons == ui::Buttons::OkCancel ? ui::Button::Cancel : ui::Button::No;
    } else if (interactive_ && policy_ == Policy::Ask) {
        for (;;) {
            std::cerr << (buttons == ui::Buttons::OkCancel ? "[OK/Cancel] " : "[Yes/No] ") << std::flush;
            std::string line;
            if (!std::getline(std::cin, line)) break;
            if (parseButton(line, buttons, answer)) return answer;
        }
        answer = defaultButton;
    }
    std::cerr << "Answer: " << buttonWord(answer) << "\n";
    return answer;
}

bool TerminalOperator::askText(std::string_view prompt, std::string_view, std::string& answer) {
    clearProgress();
    std::cerr << prompt << "\n";
    if (nextAnswer(answer) || (interactive_ && std::getline(std::cin, answer))) {
        std::cerr << "Answer: " << answer << "\n";
        return true;
    }
    std::cerr << "Answer: Cancel\n";
    return false;
}

bool TerminalOperator::askSecret(std::string_view prompt, std::string_view caption, std::string& answer) {
    // The environment answers first, then the answers file, then the terminal without echo.
    if (const char* phrase = std::getenv("VEXAL_PASSPHRASE"); phrase && !secretFromEnvironmentUsed_) {
        secretFromEnvironmentUsed_ = true;  // a wrong phrase must not be offered for ever
        answer = phrase;
        return true;
    }
    if (nextAnswer(answer)) return true;
    if (!interactive_) return false;
    clearProgress();
    std::cerr << prompt << " " << std::flush;
    termios saved{};
    const bool haveTerminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool ok = static_cast<bool>(std::getline(std::cin, answer));
    if (haveTerminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
    (void)caption;
    return ok;
}

bool TerminalOperator::askNumber(std::string_view prompt, std::string_view caption, long minimum, long maximum,
                                 long& value) {
    for (int tries = 0; tries < 100; ++tries) {
        std::string text;
        if (!askText(fmt::format("{} ({} to {})", prompt, minimum, maximum), caption, text)) return false;
        try {
            size_t used = 0;
            const long v = std::stol(text, &used, 0);
            if (used == text.size() && v >= minimum && v <= maximum) {
                value = v;
                return true;
            }
        } catch (...) {
        }
        std::cerr << fmt::format("Please enter a whole number from {} to {}.\n", minimum, maximum);
        if (!interactive_) return false;
    }
    return false;
}

bool TerminalOperator::chooseFile(ui::FileDialog, std::string_view caption, std::string_view, std::string& path) {
    return askText(caption, caption, path);
}

void TerminalOperator::drawProgress() {
    if (quiet_ || !progressActive_ || ::isatty(STDERR_FILENO) == 0) return;
    const int span = std::max(1, max_ - min_);
    const int filled = std::clamp((position_ - min_) * 30 / span, 0, 30);
    std::cerr << "\r" << progressText_ << " [" << std::string(static_cast<size_t>(filled), '#')
              << std::string(static_cast<size_t>(30 - filled), ' ') << "]" << std::flush;
    progressShown_ = true;
}

void TerminalOperator::clearProgress() {
    if (progressShown_) {
        std::cerr << "\r\033[K" << std::flush;
        progressShown_ = false;
    }
}

void TerminalOperator::progressBegin(std::string_view text, int minimum, int maximum) {
    progressText_ = std::string(text);
    min_ = minimum;
    max_ = maximum;
    position_ = minimum;
    progressActive_ = true;
    drawProgress();
}
void TerminalOperator::progressSetRange(int minimum, int maximum) {
    min_ = minimum;
    max_ = maximum;
    drawProgress();
}
void TerminalOperator::progressSetPosition(int position) {
    position_ = position;
    drawProgress();
}
void TerminalOperator::progressStep() {
    position_ = position_ >= max_ ? min_ : position_ + 1;
    drawProgress();
}
void TerminalOperator::progressSetText(std::string_view text) {
    progressText_ = std::string(text);
    drawProgress();
}
void TerminalOperator::progressEnd() {
    clearProgress();
    progressActive_ = false;
}

bool TerminalOperator::chartClose(const script::ChartModel& chart, std::string& note) {
    // The tag becomes part of a file name: only letters, digits, '-' and '_' are kept.
    std::string tag;
    for (char c : chart.tag) tag.push_back(std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_');
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
    const std::filesystem::path folder = platform::installPath() / "Logs";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::filesystem::path path = folder / fmt::format("Chart_{}_{}.svg", tag, stamp);
    for (int n = 2; std::filesystem::exists(path, ec) && n < 1000; ++n)
        path = folder / fmt::format("Chart_{}_{}_{}.svg", tag, stamp, n);
    if (!script::WriteChartSvg(chart, path)) {
        note = fmt::format("Chart {} could not be written to {}", chart.tag, path.string());
        return false;
    }
    note = fmt::format("Chart {} written to {}", chart.tag, path.string());
    return true;
}

void TerminalOperator::showText(std::string_view title, std::string_view text) {
    clearProgress();
    (textToStderr_ ? std::cerr : std::cout) << "== " << title << "\n" << text << "\n";
}

}  // namespace vexal::cli
