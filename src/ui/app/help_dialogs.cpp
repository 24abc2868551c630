#include "ui/app/help_dialogs.h"

#include "ui/study/study_actions.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

struct HelpDialogs
{
    Q_DECLARE_TR_FUNCTIONS(HelpDialogs)
};

QString native(QKeySequence::StandardKey key)
{
    return QKeySequence(key).toString(QKeySequence::NativeText);
}

} // namespace

QList<KeyboardShortcut> keyboardShortcuts()
{
    QList<KeyboardShortcut> shortcuts;
    for (const StudyActionInfo &info : studyActions())
        shortcuts.append({studyActionKeys(info), studyActionLabel(info)});
    shortcuts.append({
        {native(QKeySequence::Undo), HelpDialogs::tr("Undo the last review")},
        {native(QKeySequence::Redo), HelpDialogs::tr("Redo")},
        {native(QKeySequence::Open), HelpDialogs::tr("Open a flashcard file")},
        {native(QKeySequence::Find), HelpDialogs::tr("Filter the cards")},
        {QKeySequence(Qt::CTRL | Qt::Key_Comma).toString(QKeySequence::NativeText),
         HelpDialogs::tr("Preferences")},
        {native(QKeySequence::New), HelpDialogs::tr("New window")},
        {native(QKeySequence::Quit), HelpDialogs::tr("Quit")},
    });
    return shortcuts;
}

QDialog *makeKeyboardShortcutsDialog(QWidget *parent)
{
    auto *dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("keyboardShortcutsDialog"));
    dialog->setWindowTitle(HelpDialogs::tr("Keyboard Shortcuts"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);

    const QList<KeyboardShortcut> shortcuts = keyboardShortcuts();
    auto *table = new QTableWidget(int(shortcuts.size()), 2, dialog);
    table->setObjectName(QStringLiteral("keyboardShortcutsTable"));
    table->setHorizontalHeaderLabels({HelpDialogs::tr("Keys"), HelpDialogs::tr("Action")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    for (int row = 0; row < shortcuts.size(); ++row) {
        auto *keys = new QTableWidgetItem(shortcuts[row].keys);
        QFont bold = keys->font();
        bold.setBold(true);
        keys->setFont(bold);
        table->setItem(row, 0, keys);
        table->setItem(row, 1, new QTableWidgetItem(shortcuts[row].action));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setMinimumSize(480, table->verticalHeader()->length() +
                                   table->horizontalHeader()->height() + 4);

    auto *note =
        new QLabel(HelpDialogs::tr("The study keys act on the highlighted face, wherever the focus "
                                   "is in the window, except while typing in a text field."),
                   dialog);
    note->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(table);
    layout->addWidget(note);
    layout->addWidget(buttons);
    return dialog;
}

void showAboutMemoranth(QWidget *parent)
{
    QMessageBox::about(
        parent, HelpDialogs::tr("About Memoranth"),
        HelpDialogs::tr(
            "<h3>Memoranth %1</h3>"
            "<p>Study flashcards written as plain text files.</p>"
            "<p>Cards are separated by lines that begin with <b>===</b>, faces by lines that "
            "begin with <b>---</b>; text in {braces} stays hidden until revealed. Your progress "
            "is kept apart from the file and survives editing it.</p>")
            .arg(QApplication::applicationVersion()));
}
