#pragma once

class QLabel;
class QString;
class QWidget;

// A label of the windows: named for tests to find, read out by its text, in the windows' face
// at a pixel height. The caller places it.
QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int fontHeight);
// Moves the label and fits it to its text.
void placeSizedToText(QLabel *label, int left, int top);
