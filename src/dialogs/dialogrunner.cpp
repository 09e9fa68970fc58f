#include "dialogs/dialogrunner.h"

#include <QDialog>

#include <utility>

namespace qn {
namespace {
DialogHandler g_handler;
} // namespace

int runDialog(QDialog &dialog)
{
    if (!g_handler)
        return dialog.exec();
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    // A copy: the handler may replace itself while it runs.
    const DialogHandler handler = g_handler;
    handler(dialog);
    if (dialog.isVisible())
        dialog.reject();
    return dialog.result();
}

void setDialogHandler(DialogHandler handler) { g_handler = std::move(handler); }

} // namespace qn
