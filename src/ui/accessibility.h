#pragma once
// What assistive tools (screen readers, automation) read from the program's displays.
//
// A QLabel given an accessible name exposes only that name, never its text; and a label
// that only shows a colour (a lamp) exposes nothing of what it means. A value display
// made here says what it is in its name ("AI1 測定値") and exposes what it shows as its
// value and as its text ("1.2345 V"), reading the label each time it is asked. Changes
// made through setDisplayText / setAccessibleState are announced as they happen.
//
// Combo boxes are named by their current item on Linux; the label that says what one is
// reaches the reader only through a labelled-by relation, which linkAccessibleLabel gives.
//
// GUI thread only. Mark a display in its window's constructor, before the window is shown.
#include <QString>

class QLabel;
class QWidget;

namespace qn {

// Makes label a value display named name (empty: the accessible name it has already).
void exposeAsValueDisplay(QLabel *label, const QString &name = {});
// A display's new text, announced to assistive tools when it differs from the old.
void setDisplayText(QLabel *label, const QString &text);
// For a display that shows its state by colour or picture only: the state in words
// ("ON", "OFF"), exposed as its value and text instead of the label's (empty) text.
void setAccessibleState(QLabel *display, const QString &words);
// What assistive tools read as the display's value: its state words, or its text.
QString accessibleValueText(const QLabel *display);

// Gives control a label whose text says what it is (empty: its accessible name), linked
// as its buddy so that readers find it through the labelled-by relation. The label is a
// hidden sibling where the form shows the words elsewhere (a column heading, say).
QLabel *linkAccessibleLabel(QWidget *control, const QString &text = {});
// After a change of language: the hidden labels linkAccessibleLabel made under root from
// their controls' accessible names take the names again.
void renameAccessibleLabels(QWidget *root);

} // namespace qn
