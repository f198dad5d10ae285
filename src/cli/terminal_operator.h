#pragma once
// The Operator on a terminal: messages are printed with their icon word; questions are
// asked when stdin is a terminal, otherwise answered from --yes/--no/--answers or by the
// default button, and the answer is printed. Progress bars go to stderr; a script's charts
// become SVG files.
#include <cstdio>
#include <deque>
#include <string>

#include "operator/operator.h"
#include "script/chart_output.h"

namespace vexal::cli {

class TerminalOperator : public ui::Operator, public script::ChartOutput {
public:
    enum class Policy { Ask, Yes, No };

    TerminalOperator(Policy policy, std::deque<std::string> answers, bool quiet);

    ui::Button message(std::string_view text, std::string_view caption, ui::Icon icon, ui::Buttons buttons,
                        ui::Button defaultButton) override;
    bool askText(std::string_view prompt, std::string_view caption, std::string& answer) override;
    bool askSecret(std::string_view prompt, std::string_view caption, std::string& answer) override;
    bool askNumber(std::string_view prompt, std::string_view caption, long minimum, long maximum,
                   long& value) override;
    bool chooseFile(ui::FileDialog kind, std::string_view caption, std::string_view filter,
                    std::string& path) override;
    void progressBegin(std::string_view text, int minimum, int maximum) override;
    void progressSetRange(int minimum, int maximum) override;
    void progressSetPosition(int position) override;
    void progressStep() override;
    void progressSetText(std::string_view text) override;
    void progressEnd() override;
    void showText(std::string_view title, std::string_view text) override;
    // Under --json stdout holds the JSON document alone: shown texts go to stderr.
    void setTextToStderr(bool toStderr) { textToStderr_ = toStderr; }
    void pace(std::chrono::milliseconds) override {}
    // A script's chart has no window here: when it closes it is written as an SVG picture
    // to the Logs folder, and the note names the file.
    bool chartClose(const script::ChartModel& chart, std::string& note) override;

    // Around lines printed on stdout while a progress bar is on the terminal: the bar is
    // taken off, then drawn again below them.
    void clearProgressLine() { clearProgress(); }
    void redrawProgress() { drawProgress(); }

    // Reads the --answers file: one answer a line. False when it cannot be read.
    static bool loadAnswers(const std::string& path, std::deque<std::string>& answers);

private:
    bool nextAnswer(std::string& answer);
    void drawProgress();
    void clearProgress();

    Policy policy_;
    std::deque<std::string> answers_;
    bool quiet_;
    bool textToStderr_ = false;
    bool interactive_;
    bool progressShown_ = false;
    bool secretFromEnvironmentUsed_ = false;
    bool progressActive_ = false;
    std::string progressText_;
    int min_ = 0, max_ = 0, position_ = 0;
};

}  // namespace vexal::cli
