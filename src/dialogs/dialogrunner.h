#pragma once
// Runs the channel settings dialogs modally. Pages call runDialog() instead of exec(),
// so tests can play the operator without a modal loop. GUI thread only.
#include <functional>

class QDialog;

namespace qn {

// Shows the dialog modally and returns its result. The settings dialogs are window
// modal: they block their unit's window only, never the main dialog or other units.
// (QDialog::Accepted after OK,
// QDialog::Rejected after Escape or the close box).
int runDialog(QDialog &dialog);

// Tests: with a handler installed, runDialog() shows the dialog without a modal loop
// and calls the handler, which fills the controls and calls accept() or reject().
// A dialog the handler leaves open is rejected. An empty handler restores exec().
using DialogHandler = std::function<void(QDialog &)>;
void setDialogHandler(DialogHandler handler);

} // namespace qn
