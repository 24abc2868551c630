#include "ui/study/face_view.h"

#include "core/study/markup.h"
#include "ui/study/face_progress_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int pickerWidth = 120;

// Hidden, the row keeps its place in the layout, as an invisible one would.
void keepPlaceWhenHidden(QWidget *widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

QPushButton *makeButton(const QString &title, const QString &toolTip, QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    button->setToolTip(toolTip);
    // The study view's keys work wherever the focus is; the buttons need not take it away.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

FaceView::FaceView(const CardFace &face, bool active, QWidget *parent)
    : QWidget(parent), m_face(face), m_header(new QWidget(this)),
      m_progressView(new FaceProgressView(m_header)), m_picker(new QComboBox(m_header)),
      m_text(new QLabel(this)), m_buttons(new QWidget(this)),
      m_reveal(makeButton(tr("Reveal"), tr("Reveal hidden text (r)"), m_buttons)),
      m_correct(makeButton(tr("Correct"), tr("Mark correct (c)"), m_buttons)),
      m_incorrect(makeButton(tr("Incorrect"), tr("Mark incorrect (x)"), m_buttons)),
      m_pass(makeButton(tr("Pass"), tr("Pass (space)"), m_buttons))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto *headerLayout = new QHBoxLayout(m_header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->addWidget(m_progressView, 0, Qt::AlignVCenter);
    headerLayout->addStretch(1);
    headerLayout->addWidget(m_picker, 0, Qt::AlignVCenter);
    m_progressView->setState(face.rating);
    for (const CardFaceProgress progress : allCardFaceProgresses)
        m_picker->addItem(progressLabel(progress), int(progress));
    m_picker->setCurrentIndex(int(face.progress));
    m_picker->setFixedWidth(pickerWidth);
    m_picker->setFocusPolicy(Qt::NoFocus);
    connect(m_picker, &QComboBox::activated, this,
            [this](int index) { chooseProgress(allCardFaceProgresses[std::size_t(index)]); });

    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    m_text->setFixedWidth(textWidth);
    m_text->setForegroundRole(QPalette::Text);
    m_text->setText(maskedText(m_face.text));

    auto *buttonLayout = new QHBoxLayout(m_buttons);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    for (QPushButton *button : {m_reveal, m_correct, m_incorrect, m_pass})
        buttonLayout->addWidget(button, 0, Qt::AlignVCenter);
    buttonLayout->addStretch(1);
    connect(m_reveal, &QPushButton::clicked, this, &FaceView::toggleHidden);
    connect(m_correct, &QPushButton::clicked, this, &FaceView::markCorrect);
    connect(m_incorrect, &QPushButton::clicked, this, &FaceView::markIncorrect);
    connect(m_pass, &QPushButton::clicked, this, &FaceView::pass);

    keepPlaceWhenHidden(m_header);
    keepPlaceWhenHidden(m_buttons);

    auto *layout = new QVBoxLayout(this);
    const int margin = shadowMargin + padding;
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_header);
    layout->addWidget(m_text, 0, Qt::AlignLeading);
    layout->addWidget(m_buttons);

    m_active = !active;
    setActive(active);
}

void FaceView::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    for (QWidget *row : {m_header, m_buttons}) {
        row->setVisible(active);
        row->setEnabled(active);
    }
    update();
}

void FaceView::setTextHidden(bool hidden)
{
    m_textHidden = hidden;
    m_reveal->setText(hidden ? tr("Reveal") : tr("Hide"));
    m_text->setText(hidden ? maskedText(m_face.text) : revealedText(m_face.text));
}

void FaceView::apply(const ReviewOutcome &outcome)
{
    setTextHidden(outcome.hidden);
    // Either may replace or move away from this panel, so nothing follows them.
    if (outcome.writeFace)
        Q_EMIT faceWriteRequested(outcome.face);
    else if (outcome.goToNextFace)
        Q_EMIT nextFaceRequested();
}

void FaceView::toggleHidden()
{
    if (m_active)
        apply(::toggleHidden(m_face, m_textHidden));
}

void FaceView::markCorrect()
{
    if (m_active)
        apply(::markCorrect(m_face, m_textHidden));
}

void FaceView::markIncorrect()
{
    if (m_active)
        apply(::markIncorrect(m_face, m_textHidden));
}

void FaceView::pass()
{
    if (m_active)
        apply(passFace(m_face, m_textHidden));
}

void FaceView::chooseProgress(CardFaceProgress progress)
{
    if (m_active)
        apply(::chooseProgress(m_face, m_textHidden, progress));
}

void FaceView::animateRatingFrom(qint8 previous)
{
    if (previous == m_face.rating)
        return;
    m_progressView->setState(previous);
    m_progressView->setState(m_face.rating, true);
}

QRect FaceView::panelRect() const
{
    return rect().adjusted(shadowMargin, shadowMargin, -shadowMargin, -shadowMargin);
}

void FaceView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel = panelRect();
    if (m_active) {
        // A soft shadow 2 below the panel: black at 0.33, blurred over about 2.
        constexpr int layers = 3;
        painter.setPen(Qt::NoPen);
        for (int i = layers; i >= 1; --i) {
            const qreal spread = i * 2.0 / layers;
            painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.33f / layers));
            painter.drawRoundedRect(
                panel.translated(0, 2).adjusted(-spread, -spread, spread, spread),
                cornerRadius + spread, cornerRadius + spread);
        }
    }
    QPainterPath path;
    path.addRoundedRect(panel, cornerRadius, cornerRadius);
    painter.fillPath(path, palette().color(QPalette::Base));
}
