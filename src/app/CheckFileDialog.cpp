#include "app/CheckFileDialog.h"

#include "repeat/RepeatPlan.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

CheckFileDialog::CheckFileDialog(const QString& path, int runs, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Run Check File"));
    m_path = new QLineEdit(path, this);
    m_path->setObjectName(QStringLiteral("path"));
    m_path->setMinimumWidth(300);
    auto* browse = new QPushButton(tr("Browse\u2026"), this);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getOpenFileName(this, tr("Check File"), m_path->text());
        if (!chosen.isEmpty())
            m_path->setText(chosen);
    });
    m_runs = new QSpinBox(this);
    m_runs->setObjectName(QStringLiteral("runs"));
    m_runs->setRange(1, RepeatPlan::kTimesMax);
    m_runs->setValue(runs);
    m_problem = new QLabel(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CheckFileDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CheckFileDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(m_path);
    row->addWidget(browse);
    auto* form = new QFormLayout(this);
    form->addRow(tr("Check file:"), row);
    form->addRow(tr("Runs:"), m_runs);
    form->addRow(m_problem);
    form->addRow(buttons);
}

QString CheckFileDialog::path() const
{
    return m_path->text().trimmed();
}

int CheckFileDialog::runs() const
{
    return m_runs->value();
}

void CheckFileDialog::accept()
{
    if (path().isEmpty()) {
        m_problem->setText(tr("Choose a check file."));
        return;
    }
    QDialog::accept();
}
