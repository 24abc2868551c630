#include "ui/app/preferences_dialog.h"

#include "core/app/commands_coordinator.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

PreferencesDialog::PreferencesDialog(CommandsCoordinator &coordinator, QWidget *parent)
    : QDialog(parent), m_coordinator(coordinator), m_retention(new QDoubleSpinBox(this)),
      m_newPerDay(new QSpinBox(this)), m_weights(new QPlainTextEdit(this)),
      m_error(new QLabel(this))
{
    setWindowTitle(tr("Preferences"));
    const SchedulerParameters &parameters = m_coordinator.schedulerParameters();

    m_retention->setObjectName(QStringLiteral("desiredRetention"));
    m_retention->setDecimals(2);
    m_retention->setSingleStep(0.01);
    m_retention->setRange(SchedulerParameters::lowestRetention,
                          SchedulerParameters::highestRetention);
    m_retention->setValue(parameters.desiredRetention);
    m_retention->setToolTip(tr("The chance of recall at which a face is shown again: higher "
                               "means shorter intervals and more reviews"));

    m_newPerDay->setObjectName(QStringLiteral("newFacesPerDay"));
    m_newPerDay->setRange(0, 9999);
    m_newPerDay->setValue(parameters.newFacesPerDay);
    m_newPerDay->setToolTip(tr("How many faces never studied before the Due mode introduces "
                               "each study day, per deck"));

    m_weights->setObjectName(QStringLiteral("weights"));
    m_weights->setPlainText(weightsText(parameters.weights));
    m_weights->setTabChangesFocus(true);
    m_weights->setToolTip(tr("The 21 weights of the memory model, separated by commas; change "
                             "them only for weights fitted to your own reviews"));
    m_weights->setFixedHeight(m_weights->fontMetrics().lineSpacing() * 5);
    auto *defaults = new QPushButton(tr("Default Weights"), this);
    defaults->setObjectName(QStringLiteral("defaultWeights"));
    defaults->setAutoDefault(false);
    connect(defaults, &QPushButton::clicked, this, &PreferencesDialog::restoreDefaultWeights);

    m_error->setObjectName(QStringLiteral("preferencesError"));
    m_error->setWordWrap(true);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_error->hide();

    auto *form = new QFormLayout;
    form->addRow(tr("Desired retention:"), m_retention);
    form->addRow(tr("New faces per day:"), m_newPerDay);
    form->addRow(tr("Weights:"), m_weights);
    form->addRow(QString(), defaults);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PreferencesDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
    setMinimumWidth(520);
}

void PreferencesDialog::restoreDefaultWeights()
{
    m_weights->setPlainText(weightsText(defaultFsrsWeights));
    m_error->hide();
}

bool PreferencesDialog::apply()
{
    SchedulerParameters parameters = m_coordinator.schedulerParameters();
    parameters.desiredRetention = m_retention->value();
    parameters.newFacesPerDay = m_newPerDay->value();
    QString error;
    const std::optional<FsrsWeights> weights = parseWeights(m_weights->toPlainText(), &error);
    if (weights)
        parameters.weights = *weights;
    if (!weights || !parameters.validate(&error)) {
        m_error->setText(error);
        m_error->show();
        m_weights->setFocus(Qt::OtherFocusReason);
        return false;
    }
    m_error->hide();
    if (!(parameters.weights == m_coordinator.schedulerParameters().weights &&
          parameters.desiredRetention == m_coordinator.schedulerParameters().desiredRetention &&
          parameters.newFacesPerDay == m_coordinator.schedulerParameters().newFacesPerDay))
        m_coordinator.setSchedulerParameters(parameters);
    return true;
}

void PreferencesDialog::accept()
{
    if (apply())
        QDialog::accept();
}
