#pragma once

#include "find/LineMatcher.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// The find bar laid over the foot of the event log: what to search for and how (text, pattern or
// bytes, the case, the kind of line), the way through the matches (Enter and Shift+Enter in the
// words, or the arrows), where it stands ("3 of 41"), whether to show only the matching lines
// with how many lines around each, and a time of day to go to. It says what was asked; others
// search.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent = nullptr);

    // What is asked for; none, with why in words, when the words search for nothing.
    std::optional<LineMatcher> matcher(QString& why) const;
    bool onlyMatching() const;
    int context() const;
    QLineEdit& words() const { return *m_words; }
    QLineEdit& time() const { return *m_time; }
    void setStatus(const QString& text);
    QString status() const;

signals:
    void queryChanged();
    void stepAsked(bool forward);
    // Only matching lines was turned on or off, or the context changed.
    void showingChanged();
    void timeAsked(const QString& text);
    void closeAsked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox* m_way;
    QLineEdit* m_words;
    QCheckBox* m_matchCase;
    QLabel* m_status;
    QCheckBox* m_only;
    QSpinBox* m_context;
    QComboBox* m_kind;
    QLineEdit* m_time;
};
