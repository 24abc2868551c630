#pragma once

#include <QList>
#include <QString>

class QDialog;
class QWidget;

// One row of the keyboard reference: the keys and what they do.
struct KeyboardShortcut
{
    QString keys;
    QString action;
};

// Every key of the study view and the menus, in the order the reference lists them.
QList<KeyboardShortcut> keyboardShortcuts();

// The "Keyboard Shortcuts" window (made on demand, closed with Escape or its button).
QDialog *makeKeyboardShortcutsDialog(QWidget *parent);

void showAboutMemoranth(QWidget *parent);
