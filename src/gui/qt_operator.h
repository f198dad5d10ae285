#pragma once
// The Operator on the desktop: Qt dialogs. Used from the user-interface thread.
#include <QPointer>
#include <QProgressDialog>

#include "app/operator.h"

class QWidget;

namespace vexal::gui {

class QtOperator : public app::Operator {
public:
    explicit QtOperator(QWidget* parent) : parent_(parent) {}

    app::Button message(std::string_view text, std::string_view caption, app::Icon icon, app::Buttons buttons,
                        app::Button defaultButton) override;
    bool askText(std::string_view prompt, std::string_view caption, std::string& answer) override;
    bool askNumber(std::string_view prompt, std::string_view caption, long minimum, long maximum,
                   long& value) override;
    bool chooseFile(app::FileDialog kind, std::string_view caption, std::string_view filter,
                    std::string& path) override;
    void progressBegin(std::string_view text, int minimum, int maximum) override;
    void progressSetRange(int minimum, int maximum) override;
    void progressSetPosition(int position) override;
    void progressStep() override;
    void progressSetText(std::string_view text) override;
    void progressEnd() override;
    void showText(std::string_view title, std::string_view text) override;
    void pace(std::chrono::milliseconds duration) override;

private:
    QWidget* parent_;
    QPointer<QProgressDialog> progress_;
};

}  // namespace vexal::gui
