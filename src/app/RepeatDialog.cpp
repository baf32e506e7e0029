#include "app/RepeatDialog.h"

#include "terminal/Pattern.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace
{

QSpinBox* SpinBox(QWidget* parent, const char* name, int least, int most, int value,
                  const QString& suffix)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(least, most);
    box->setValue(value);
    box->setSuffix(suffix);
    box->setGroupSeparatorShown(true);
    return box;
}

// Two choices in a row: a radio button with a box after it, and one alone.
QWidget* Choice(QWidget* parent, QRadioButton* first, QWidget* box, QRadioButton* second)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(first);
    layout->addWidget(box);
    layout->addWidget(second);
    layout->addStretch();
    return row;
}

QRadioButton* Radio(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

RepeatDialog::RepeatDialog(const RepeatPlan& plan, const QString& checkName, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Repeat"));
    m_every = Radio(this, "every", tr("every"));
    m_everyMs = SpinBox(this, "everyMs", RepeatPlan::kEveryMinMs, RepeatPlan::kEveryMaxMs,
                        plan.everyMs > 0 ? plan.everyMs : 1000, tr(" ms"));
    m_afterReply = Radio(this, "afterReply", tr("after each reply"));
    // Two choices apart: radio buttons of one parent would otherwise be one.
    auto* when = new QButtonGroup(this);
    when->addButton(m_every);
    when->addButton(m_afterReply);
    (plan.everyMs > 0 ? m_every : m_afterReply)->setChecked(true);
    m_times = Radio(this, "times", tr("times:"));
    m_count = SpinBox(this, "count", 1, RepeatPlan::kTimesMax,
                      plan.sends > 0 ? int(plan.sends) : 100, QString());
    m_untilStopped = Radio(this, "untilStopped", tr("until stopped"));
    auto* often = new QButtonGroup(this);
    often->addButton(m_times);
    often->addButton(m_untilStopped);
    (plan.sends > 0 ? m_times : m_untilStopped)->setChecked(true);
    m_waitMs = SpinBox(this, "waitMs", RepeatPlan::kWaitMinMs, RepeatPlan::kWaitMaxMs, plan.waitMs,
                       tr(" ms"));
    m_pattern = new QLineEdit(plan.patterns.value(0), this);
    m_pattern->setObjectName(QStringLiteral("pattern"));
    m_pattern->setPlaceholderText(tr("optional, as in expect: ^<06>"));
    m_stopAtFirst = new QCheckBox(tr("Stop at the first failure"), this);
    m_stopAtFirst->setObjectName(QStringLiteral("stopAtFirst"));
    m_stopAtFirst->setChecked(plan.stopAtFirstFailure);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RepeatDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RepeatDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(tr("Send:"), Choice(this, m_every, m_everyMs, m_afterReply));
    form->addRow(tr("How often:"), Choice(this, m_times, m_count, m_untilStopped));
    form->addRow(tr("No reply within:"), m_waitMs);
    form->addRow(tr("Check value:"),
                 new QLabel(checkName.isEmpty()
                                ? tr("none chosen (Checksum in this menu)")
                                : tr("%1: a reply that fails it fails").arg(checkName),
                            this));
    form->addRow(tr("Reply must match:"), m_pattern);
    form->addRow(m_stopAtFirst);
    form->addRow(m_problem);
    form->addRow(buttons);
}

RepeatPlan RepeatDialog::plan() const
{
    RepeatPlan plan;
    plan.everyMs = m_every->isChecked() ? m_everyMs->value() : 0;
    plan.sends = m_times->isChecked() ? m_count->value() : 0;
    plan.waitMs = m_waitMs->value();
    if (!m_pattern->text().isEmpty())
        plan.patterns = QStringList{m_pattern->text()};
    plan.stopAtFirstFailure = m_stopAtFirst->isChecked();
    return plan;
}

void RepeatDialog::accept()
{
    QString why;
    if (!m_pattern->text().isEmpty() && !Pattern::Compile(m_pattern->text(), why)) {
        m_problem->setText(tr("The pattern does not compile: %1").arg(why));
        m_pattern->setFocus();
        return;
    }
    QDialog::accept();
}
