#pragma once

#include <QFont>

class QWidget;

// The window faces of the design are Windows fonts. Where they are missing,
// fontconfig's nearest match (Liberation Sans, then DejaVu Sans) stands in.
void installFontSubstitutes();

QFont sansSerifFont(double pointSize, bool bold = false);   // "MS Sans Serif"
QFont arialRoundedFont(double pointSize, bool bold = false); // "Arial Rounded MT Bold"
QFont arialFont(double pointSize, bool bold = false);

// A stand-in face can be wider than the original; shrink the widget's font in
// small steps until its caption fits, so that no caption is ever clipped.
void shrinkFontToFit(QWidget *widget);
