#pragma once

#include <QToolButton>

// A borderless text button that elides its text instead of widening its row.
class TitleButton final : public QToolButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TitleButton)

public:
    explicit TitleButton(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
