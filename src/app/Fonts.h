#pragma once

#include <QFont>
#include <QStringList>

class QComboBox;
class QLabel;

namespace quenterra {

// The window's font: 9.75 pt, bold, in "Lato" (Debian's fonts-lato), whose figures all have one
// width; where that face is missing, the desktop's own face.
QFont WindowFont();
// The title's font: "Arial Black" 20.25 pt, bold, underlined; where that face is missing, the
// heaviest sans face the machine has.
QFont TitleFont();
// The countdown's font: the window's face, 39 pt, bold.
QFont CountdownFont();

// Makes a label's font just small enough that each of texts shows whole in it.
void FitLabel(QLabel* label, const QStringList& texts);
// The same for the edit field of an editable drop-down.
void FitSelector(QComboBox* combo, const QStringList& texts);

}  // namespace quenterra
