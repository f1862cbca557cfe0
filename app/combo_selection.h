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
