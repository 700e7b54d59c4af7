#pragma once
// The windows' Japanese UI face, also made the application's font so that tooltips and message boxes, which are
// windows of their own and inherit nothing from ours, do not fall back to the platform's default face.

class QFont;

// base with the Japanese UI families in order of preference, at the 9 pt the windows were laid out for.
QFont japaneseUiFont(const QFont& base);
// Makes that face the application's default, tooltips included. Needs the QApplication object.
void applyJapaneseUiFont();
