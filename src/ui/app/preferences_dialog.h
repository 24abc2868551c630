#pragma once

#include <QDialog>

class CommandsCoordinator;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;

// The scheduling preferences: desired retention, new faces a day and the model's weights.
// Values that do not validate are refused with a message naming the bad one, and the dialog
// stays open; accepted ones are stored and used from the next review on.
class PreferencesDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreferencesDialog)

public:
    explicit PreferencesDialog(CommandsCoordinator &coordinator, QWidget *parent = nullptr);

    // Validates what is entered and hands it to the coordinator; false, with the message
    // shown, when something is refused.
    bool apply();
    void accept() override;

private:
    void restoreDefaultWeights();

    CommandsCoordinator &m_coordinator;
    QDoubleSpinBox *m_retention;
    QSpinBox *m_newPerDay;
    QPlainTextEdit *m_weights;
    QLabel *m_error;
};
