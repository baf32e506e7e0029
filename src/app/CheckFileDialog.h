#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QSpinBox;

// "Run Check File…": the check file and how many times to run it.
class CheckFileDialog : public QDialog
{
    Q_OBJECT
public:
    CheckFileDialog(const QString& path, int runs, QWidget* parent = nullptr);

    QString path() const;
    int runs() const;
    // Refuses an empty path.
    void accept() override;

private:
    QLineEdit* m_path;
    QSpinBox* m_runs;
    QLabel* m_problem;
};
