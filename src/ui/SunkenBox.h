#pragma once
// The sunken white boxes in which the windows show a folder, a file name or the status, and their text indent.

class QLabel;
class QString;
class QWidget;

// A label named name: plain text (a name is never read as markup) in a sunken panel on white.
QLabel* makeSunkenBox(const QString& name, QWidget* parent);
// A framed label indents its text by half an "x"; the boxes drawn otherwise match it.
int boxTextIndent(const QWidget* box);
