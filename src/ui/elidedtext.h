#pragma once
// Texts that may not fit their label (the operator's signal names, the graph's legend): shown
// cut with "…" to the label's width, the whole text as tooltip and accessible description,
// and cut again whenever the label's width or font changes. GUI thread only.
#include <QString>

class QLabel;

namespace qn {

// Shows text in label, elided at its right end when it does not fit. The label's width is
// left to its layout and minimum width: what it shows is never wider than it is, so a long
// text never widens it (a label that should take spare room needs a size policy that
// grows). A value display (exposeAsValueDisplay) reads the whole text as its value.
void setElidedText(QLabel *label, const QString &text);
// The whole text last given to setElidedText, else the label's text.
QString fullText(const QLabel *label);

} // namespace qn
