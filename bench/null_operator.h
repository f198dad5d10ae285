#pragma once
// An Operator that answers every question with its default and shows nothing: benchmarks
// measure the work, not a person.
#include "operator/operator.h"

namespace vexal::bench {

class NullOperator : public ui::Operator {
public:
    ui::Button message(std::string_view, std::string_view, ui::Icon, ui::Buttons, ui::Button defaultButton) override {
        return defaultButton;
    }
    bool askText(std::string_view, std::string_view, std::string&) override { return false; }
    bool askNumber(std::string_view, std::string_view, long, long, long&) override { return false; }
    bool chooseFile(ui::FileDialog, std::string_view, std::string_view, std::string&) override { return false; }
    void progressBegin(std::string_view, int, int) override {}
    void progressSetRange(int, int) override {}
    void progressSetPosition(int) override {}
    void progressStep() override {}
    void progressSetText(std::string_view) override {}
    void progressEnd() override {}
    void showText(std::string_view, std::string_view) override {}
    void pace(std::chrono::milliseconds) override {}
};

}  // namespace vexal::bench
