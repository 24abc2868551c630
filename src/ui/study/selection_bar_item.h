#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// One numbered item of the faces bar: a capsule tinted by the face's rating, larger while it is
// the selected face. Also the bar's invisible end placeholder, which only takes up the room of
// a selected item.
class SelectionBarItem final : public QAbstractButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SelectionBarItem)

public:
    static constexpr int selectedPadding = 8;
    static constexpr int unselectedPadding = 4;

    enum class Kind { Item, Placeholder };
    explicit SelectionBarItem(Kind kind, QWidget *parent = nullptr);

    bool isPlaceholder() const { return m_kind == Kind::Placeholder; }

    bool isSelected() const { return m_selected; }
    // Grows or shrinks the item; animated with the spring.
    void setSelected(bool selected, bool animated);

    int rating() const { return m_rating; }
    // Retints the item; animated with ease-in-out.
    void setRating(int rating, bool animated);

    // Where an animation ends: padding on all edges, and the colours.
    int padding() const { return m_selected ? selectedPadding : unselectedPadding; }
    QColor backgroundColour() const;
    QColor textColour() const;

    // The body font for the selected item, the smaller footnote font for the others.
    static QFont bodyFont(const QFont &base);
    static QFont footnoteFont(const QFont &base);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QFont drawnFont() const;
    QColor tint(qreal rating) const;

    Kind m_kind;
    bool m_selected = false;
    int m_rating = 0;
    // Drawn state, moved by the animations: 0 small .. 1 selected, and the rating tinted with.
    qreal m_emphasis = 0;
    qreal m_drawnRating = 0;
    qreal m_emphasisStart = 0;
    qreal m_ratingStart = 0;
    QVariantAnimation *m_emphasisAnimation;
    QVariantAnimation *m_tintAnimation;
};
