#pragma once
// The parameter dialogs of the interactive commands: each fills the request and returns
// false when the operator cancelled or the values were refused.
#include "operator/operator.h"
#include "command/command_request.h"

class QWidget;

namespace vexal::gui {

// True when `code` asks for parameters before it is sent.
bool commandHasParameters(int code);
bool askCommandParameters(int code, command::CommandRequest& request, QWidget* parent, ui::Operator& op);

// "12 00 00 00 40 00" into bytes: one or two hex digits per word. False on anything else.
bool parseHexWords(const std::string& text, std::vector<uint8_t>& bytes);

}  // namespace vexal::gui
