#include "ui/study/face_view.h"

#include "core/study/markup.h"
#include "ui/study/face_progress_view.h"
#include "ui/study/face_text_label.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_actions.h"

#include <QComboBox>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>
#include <vector>

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

// The shadow of the active panel: black at 0.33, offset 2 down, blurred over 2.
constexpr int shadowBlur = 2;
constexpr int shadowOffset = 2;

// A rounded rectangle of the panel's size, blurred by two box passes of radius 1 each way,
// which come close to a Gaussian of the shadow's radius. Only alpha matters: it is black.
QImage makeShadow(QSize panel)
{
    QImage image(panel + QSize(2 * shadowBlur, 2 * shadowBlur),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.33f));
        painter.drawRoundedRect(QRectF(QPointF(shadowBlur, shadowBlur), QSizeF(panel)),
                                FaceView::cornerRadius, FaceView::cornerRadius);
    }
    const std::size_t w = std::size_t(image.width());
    const std::size_t h = std::size_t(image.height());
    std::vector<int> alpha(w * h);
    std::vector<int> scratch(w * h);
    for (std::size_t y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(int(y)));
        for (std::size_t x = 0; x < w; ++x)
            alpha[y * w + x] = qAlpha(line[x]);
    }
    // One pass of a 3-wide box along rows (step 1) or columns (step w); edges repeat.
    const auto pass = [&](std::size_t step, std::size_t length, std::size_t lines,
                          std::size_t lineStep) {
        for (std::size_t line = 0; line < lines; ++line) {
            const int *in = alpha.data() + line * lineStep;
            int *out = scratch.data() + line * lineStep;
            for (std::size_t i = 0; i < length; ++i) {
                const int before = in[(i == 0 ? i : i - 1) * step];
                const int after = in[(i + 1 == length ? i : i + 1) * step];
                out[i * step] = (before + in[i * step] + after) / 3;
            }
        }
        alpha.swap(scratch);
    };
    for (int i = 0; i < shadowBlur; ++i) {
        pass(1, w, h, w);
        pass(w, h, w, 1);
    }
    for (std::size_t y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (std::size_t x = 0; x < w; ++x)
            line[x] = qRgba(0, 0, 0, alpha[y * w + x]);
    }
    return image;
}

// Panels share one shadow per size: a deck's panels come in a handful of heights.
const QImage &shadowFor(QSize panel)
{
    static QHash<QPair<int, int>, QImage> cache;
    const QPair<int, int> key(panel.width(), panel.height());
    auto it = cache.find(key);
    if (it == cache.end()) {
        if (cache.size() > 64)
            cache.clear();
        it = cache.insert(key, makeShadow(panel));
    }
    return *it;
}

} // namespace

FaceView::FaceView(const CardFace &face, bool active, QWidget *parent)
    : QWidget(parent), m_face(face), m_header(new QWidget(this)),
      m_progressView(new FaceProgressView(m_header)), m_picker(new QComboBox(m_header)),
      m_textArea(new QWidget(this)), m_buttons(new QWidget(this)),
      m_reveal(makeButton(tr("Reveal"), studyActionToolTip(StudyAction::ToggleHidden), m_buttons)),
      m_correct(makeButton(tr("Correct"), studyActionToolTip(StudyAction::MarkCorrect), m_buttons)),
      m_incorrect(
          makeButton(tr("Incorrect"), studyActionToolTip(StudyAction::MarkIncorrect), m_buttons)),
      m_pass(makeButton(tr("Pass"), studyActionToolTip(StudyAction::Pass), m_buttons))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Tests find the panel's parts by these names.
    m_header->setObjectName(QStringLiteral("faceHeader"));
    m_progressView->setObjectName(QStringLiteral("progressView"));
    m_picker->setObjectName(QStringLiteral("progressPicker"));
    m_buttons->setObjectName(QStringLiteral("buttonRow"));
    m_reveal->setObjectName(QStringLiteral("revealButton"));
    m_correct->setObjectName(QStringLiteral("correctButton"));
    m_incorrect->setObjectName(QStringLiteral("incorrectButton"));
    m_pass->setObjectName(QStringLiteral("passButton"));

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
    // Reached by Tab as well as by its key; the other study keys keep working around it.
    m_picker->setFocusPolicy(Qt::TabFocus);
    m_picker->setAccessibleName(tr("Progress state"));
    m_picker->setToolTip(studyActionToolTip(StudyAction::ChooseProgress));
    connect(m_picker, &QComboBox::activated, this,
            [this](int index) { chooseProgress(allCardFaceProgresses[std::size_t(index)]); });

    auto *textLayout = new QVBoxLayout(m_textArea);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->setSpacing(0);
    m_showMore = new QPushButton(tr("Show More"), m_textArea);
    m_showMore->setObjectName(QStringLiteral("showMoreButton"));
    m_showMore->setToolTip(tr("Show more of this face's text"));
    m_showMore->setFocusPolicy(Qt::NoFocus);
    m_showMore->setFlat(true);
    textLayout->addWidget(m_showMore, 0, Qt::AlignLeading);
    connect(m_showMore, &QPushButton::clicked, this, &FaceView::showMoreText);
    addTextPiece();
    renderText();

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
    layout->addWidget(m_textArea, 0, Qt::AlignLeading);
    layout->addWidget(m_buttons);

    m_activation = new QVariantAnimation(this);
    m_activation->setStartValue(0.0);
    m_activation->setEndValue(1.0);
    m_activation->setEasingCurve(StudyAnimation::spring());
    m_activation->setDuration(StudyAnimation::springDuration);
    connect(m_activation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        const qreal target = m_active ? 1 : 0;
        showEmphasis(m_emphasisStart + (target - m_emphasisStart) * value.toReal());
    });
    connect(m_activation, &QVariantAnimation::finished, this,
            [this] { showEmphasis(m_active ? 1 : 0); });

    m_active = !active;
    setActive(active);
}

int FaceView::minimumPanelWidth() const
{
    const int content =
        std::max(m_buttons->sizeHint().width(), m_header->minimumSizeHint().width());
    return std::min(content, int(textWidth)) + 2 * (shadowMargin + padding);
}

void FaceView::openProgressPicker()
{
    if (m_active)
        m_picker->showPopup();
}

void FaceView::fitWidth(int width)
{
    const int margins = 2 * (shadowMargin + padding);
    const int text = std::clamp(width - margins, minimumPanelWidth() - margins, int(textWidth));
    if (text == m_textWidth)
        return;
    m_textWidth = text;
    for (QLabel *label : std::as_const(m_textPieces))
        label->setFixedWidth(text);
}

void FaceView::setActive(bool active, bool animated)
{
    if (m_active == active)
        return;
    m_active = active;
    // Input follows at once, whatever is still fading.
    m_header->setEnabled(active);
    m_buttons->setEnabled(active);
    m_activation->stop();
    if (animated) {
        m_emphasisStart = m_emphasis;
        m_activation->start();
    } else {
        showEmphasis(active ? 1 : 0);
    }
}

void FaceView::showEmphasis(qreal emphasis)
{
    m_emphasis = emphasis;
    const bool settled = emphasis == (m_active ? 1 : 0);
    for (QWidget *row : {m_header, m_buttons}) {
        // A fading row is drawn through an opacity effect, kept only while it fades.
        if (settled) {
            row->setGraphicsEffect(nullptr);
        } else {
            auto *effect = qobject_cast<QGraphicsOpacityEffect *>(row->graphicsEffect());
            if (!effect) {
                effect = new QGraphicsOpacityEffect(row);
                row->setGraphicsEffect(effect);
            }
            effect->setOpacity(std::clamp(emphasis, 0.0, 1.0));
        }
        row->setVisible(m_active || !settled);
    }
    update();
}

void FaceView::setTextHidden(bool hidden)
{
    m_textHidden = hidden;
    m_reveal->setText(hidden ? tr("Reveal") : tr("Hide"));
    renderText();
}

QLabel *FaceView::addTextPiece()
{
    auto *label = new FaceTextLabel(m_textArea);
    label->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    label->setFixedWidth(m_textWidth);
    label->setForegroundRole(QPalette::Text);
    // Before the button, which stays last.
    auto *layout = static_cast<QVBoxLayout *>(m_textArea->layout());
    layout->insertWidget(layout->count() - 1, label, 0, Qt::AlignLeading);
    m_textPieces.append(label);
    return label;
}

void FaceView::renderText()
{
    // The pieces shown so far, in the new form: each covers the same part of the text.
    m_pieces = MarkupPieces(m_face.text.toString(), m_textHidden ? MarkupPieces::Form::Masked
                                                                 : MarkupPieces::Form::Revealed);
    for (QLabel *label : std::as_const(m_textPieces))
        label->setText(m_pieces.next(maxPieceLength, maxPieceLines));
    m_showMore->setVisible(!m_pieces.atEnd());
}

void FaceView::showMoreText()
{
    if (m_pieces.atEnd())
        return;
    addTextPiece()->setText(m_pieces.next(maxPieceLength, maxPieceLines));
    m_showMore->setVisible(!m_pieces.atEnd());
}

void FaceView::apply(const ReviewOutcome &outcome)
{
    setTextHidden(outcome.hidden);
    // Either may replace or move away from this panel, so nothing follows them.
    if (outcome.writeFace && outcome.grade)
        Q_EMIT faceReviewRequested(outcome.face, *outcome.grade);
    else if (outcome.writeFace)
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
        apply(::markCorrect(m_face));
}

void FaceView::markIncorrect()
{
    if (m_active)
        apply(::markIncorrect(m_face));
}

void FaceView::grade(Grade grade)
{
    if (m_active)
        apply(gradeFace(m_face, grade));
}

void FaceView::pass()
{
    if (m_active)
        apply(passFace(m_face));
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
    if (m_emphasis > 0) {
        painter.setOpacity(std::clamp(m_emphasis, 0.0, 1.0));
        painter.drawImage(panel.topLeft() + QPointF(-shadowBlur, -shadowBlur + shadowOffset),
                          shadowFor(panel.size().toSize()));
        painter.setOpacity(1);
    }
    QPainterPath path;
    path.addRoundedRect(panel, cornerRadius, cornerRadius);
    painter.fillPath(path, palette().color(QPalette::Base));
}
