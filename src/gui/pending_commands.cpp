// Commands whose own files are not part of the program yet. Each reports
// that it is unavailable; its file replaces the body here.
#include "errors/errors.h"
#include "gui/main_window.h"

void Tmain::AutoProgramExecute() {
    FailOp(QStringLiteral("Auto Program is not available in this build"));
}
