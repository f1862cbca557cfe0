#pragma once

#include <QComboBox>

// The list entry the operator has chosen, or -1. The lists can be typed
// into: text that is not one of the entries selects none of them.
inline int selectedEntry(const QComboBox *combo)
{
    const int index = combo->currentIndex();
    if (index >= 0 && combo->itemText(index) == combo->currentText())
        return index;
    return combo->findText(combo->currentText(), Qt::MatchFixedString);
}

// The number the chosen entry stands for, in a list of consecutive numbers
// from `first` on; 0 when no entry is chosen.
inline int selectedNumber(const QComboBox *combo, int first)
{
    const int index = selectedEntry(combo);
    return index < 0 ? 0 : first + index;
}
