#pragma once

#include <QWidget>

#include <array>

class QVariantAnimation;

// A face's rating as three dots, green from the left up to the rating and gray after it.
class FaceProgressView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FaceProgressView)

public:
    static constexpr int dotCount = 3;
    static constexpr int dotSize = 10;

    explicit FaceProgressView(QWidget *parent = nullptr);

    qint8 state() const { return m_state; }
    // Shows the rating; animated, the dots change colour with ease-in-out.
    void setState(qint8 state, bool animated = false);

    // Whether dot i shows green once any animation has ended.
    bool isDotGreen(int i) const { return i < m_state; }
    // The colour dot i is drawn with at this moment.
    QColor dotColour(int i) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int spacing() const;

    qint8 m_state = 0;
    // How green each dot is drawn (0 gray, 1 green); animations move these, never m_state.
    std::array<qreal, dotCount> m_green{};
    std::array<qreal, dotCount> m_startGreen{};
    QVariantAnimation *m_animation;
};
