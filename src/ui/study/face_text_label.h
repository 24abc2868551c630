#pragma once

#include <QLabel>
#include <QTextLayout>

// The text of a face: plain text that wraps at word boundaries, and inside a word where the
// word alone is longer than the line (a URL, a long hidden passage shown as underscores), so
// that no part of the text is ever cut off. A QLabel wraps at word boundaries only.
class FaceTextLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FaceTextLabel)

public:
    explicit FaceTextLabel(QWidget *parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The widest line of the text laid out in `width`; never more than `width`.
    int laidOutWidth(int width) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Lays the text out for a line width, reusing the last layout while the text, font and
    // width are the same (the layout is asked for the height several times per change).
    const QTextLayout &layoutFor(int width) const;

    mutable QTextLayout m_layout;
    mutable QString m_laidOutText;
    mutable int m_laidOutWidth = -1;
    mutable qreal m_height = 0;
    mutable qreal m_naturalWidth = 0;
};
