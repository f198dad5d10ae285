#pragma once
// Every question, message, input, file choice, progress window and text window goes
// through this interface; the core never talks to people any other way (a script's chart
// windows are the script language's own: script/chart_output.h). Texts are passed through
// unchanged.
#include <chrono>
#include <string>
#include <string_view>

namespace vexal::ui {

enum class Icon { None, Information, Exclamation, Stop, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Button { Ok, Cancel, Yes, No };
enum class FileDialog { Open, Save };

class Operator {
public:
    virtual ~Operator() = default;

    virtual Button message(std::string_view text, std::string_view caption, Icon icon,
                           Buttons buttons = Buttons::Ok, Button defaultButton = Button::Ok) = 0;
    // A question whose Yes or OK destroys data, firmware or a tape's content. It never takes
    // its default button when no one can answer: such an operator answers No or Cancel (and
    // its front end says why). Where a person is always there, it is asked as any other.
    virtual Button hazardQuestion(std::string_view text, std::string_view caption, Icon icon, Buttons buttons,
                                  Button defaultButton) {
        return message(text, caption, icon, buttons, defaultButton);
    }
    // False when the operator cancelled.
    virtual bool askText(std::string_view prompt, std::string_view caption, std::string& answer) = 0;
    // A masked entry (pass phrases); by default the same as askText.
    virtual bool askSecret(std::string_view prompt, std::string_view caption, std::string& answer) {
        return askText(prompt, caption, answer);
    }
    virtual bool askNumber(std::string_view prompt, std::string_view caption, long minimum, long maximum,
                           long& value) = 0;
    virtual bool chooseFile(FileDialog kind, std::string_view caption, std::string_view filter,
                            std::string& path) = 0;

    virtual void progressBegin(std::string_view text, int minimum, int maximum) = 0;
    virtual void progressSetRange(int minimum, int maximum) = 0;
    virtual void progressSetPosition(int position) = 0;
    virtual void progressStep() = 0;
    virtual void progressSetText(std::string_view text) = 0;
    virtual void progressEnd() = 0;

    virtual void showText(std::string_view title, std::string_view text) = 0;

    // A pause that only paces what a person watches (a progress window filling). The
    // desktop waits; a terminal or a test does not.
    virtual void pace(std::chrono::milliseconds duration) = 0;
};

}  // namespace vexal::ui
