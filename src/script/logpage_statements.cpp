// Log-page statements and packet statements: argument checks.
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {

int stmtPacket(StatementContext&) { return 0; }

}  // namespace vexal::script
