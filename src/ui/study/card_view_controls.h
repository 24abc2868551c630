#pragma once

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

// Below the faces: "Card:" with the previous-card and next-card buttons. The card view keeps
// this row in its place but never draws it; its keys stay in force.
class CardViewControls final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CardViewControls)

public:
    explicit CardViewControls(QWidget *parent = nullptr);

    // Enables the buttons for the selection: they stop at the first and the last card.
    void setSelection(std::optional<qsizetype> selectedCard, qsizetype cardCount);

    // The buttons' actions; each does nothing while its button is disabled.
    void previousCard();
    void nextCard();

    QLabel *label() const { return m_label; }
    QPushButton *previousButton() const { return m_previous; }
    QPushButton *nextButton() const { return m_next; }

Q_SIGNALS:
    void selectedCardChangeRequested(std::optional<qsizetype> index);

private:
    QLabel *m_label;
    QPushButton *m_previous;
    QPushButton *m_next;
    std::optional<qsizetype> m_selectedCard;
    qsizetype m_cardCount = 0;
};
