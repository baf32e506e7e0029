#pragma once

#include "repeat/RepeatPlan.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// "Repeat…": when the command goes (every N ms, or after each reply), how often (N times or until
// stopped), and what fails (no reply within the wait, a check value, a pattern not found), and
// whether to stop at the first failure. A pattern that does not compile is refused here.
class RepeatDialog : public QDialog
{
    Q_OBJECT
public:
    // checkName: the check value chosen, which replies are checked against; empty for none.
    RepeatDialog(const RepeatPlan& plan, const QString& checkName, QWidget* parent = nullptr);

    // The plan as set, without its command.
    RepeatPlan plan() const;
    void accept() override;

private:
    QRadioButton* m_every;
    QSpinBox* m_everyMs;
    QRadioButton* m_afterReply;
    QRadioButton* m_times;
    QSpinBox* m_count;
    QRadioButton* m_untilStopped;
    QSpinBox* m_waitMs;
    QLineEdit* m_pattern;
    QCheckBox* m_stopAtFirst;
    QLabel* m_problem;
};
