#pragma once
// An Operator for tests: records every call and answers from a queue of prepared answers
// (or each question's default button when the queue is empty).
#include <deque>
#include <string>
#include <vector>

#include "operator/operator.h"

namespace vexal::testing {

class FakeOperator : public ui::Operator {
public:
    struct Call {
        std::string kind;  // "message", "askText", "progressBegin", ...
        std::string text;
        ui::Icon icon = ui::Icon::None;
    };

    std::vector<Call> calls;
    std::deque<ui::Button> buttons;
    std::deque<std::string> texts;
    std::deque<long> numbers;
    int pacedMs = 0;

    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.kind == "message") out.push_back(c.text);
        return out;
    }

    ui::Button message(std::string_view text, std::string_view, ui::Icon icon, ui::Buttons offered,
                        ui::Button defaultButton) override {
        calls.push_back({"message", std::string(text), icon});
        // Prepared answers go to questions only; a plain message is just acknowledged.
        if (offered == ui::Buttons::Ok) return ui::Button::Ok;
        if (buttons.empty()) return defaultButton;
        ui::Button b = buttons.front();
        buttons.pop_front();
        return b;
    }
    bool askText(std::string_view prompt, std::string_view, std::string& answer) override {
        calls.push_back({"askText", std::string(prompt)});
        if (texts.empty()) return false;
        answer = texts.front();
        texts.pop_front();
        return true;
    }
    bool askNumber(std::string_view prompt, std::string_view, long, long, long& value) override {
        calls.push_back({"askNumber", std::string(prompt)});
        if (numbers.empty()) return false;
        value = numbers.front();
        numbers.pop_front();
        return true;
    }
    bool chooseFile(ui::FileDialog, std::string_view caption, std::string_view, std::string& path) override {
        calls.push_back({"chooseFile", std::string(caption)});
        if (texts.empty()) return false;
        path = texts.front();
        texts.pop_front();
        return true;
    }
    void progressBegin(std::string_view text, int, int) override { calls.push_back({"progressBegin", std::string(text)}); }
    void progressSetRange(int, int) override {}
    void progressSetPosition(int) override {}
    void progressStep() override {}
    void progressSetText(std::string_view text) override { calls.push_back({"progressSetText", std::string(text)}); }
    void progressEnd() override { calls.push_back({"progressEnd", ""}); }
    void showText(std::string_view title, std::string_view text) override {
        calls.push_back({"showText", std::string(title) + "\n" + std::string(text)});
    }
    void pace(std::chrono::milliseconds d) override { pacedMs += static_cast<int>(d.count()); }
};

}  // namespace vexal::testing
