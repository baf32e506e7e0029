#pragma once

#include <QObject>

class QLineEdit;

// Watches a line edit for a paste (from the clipboard, the selection or a drop) longer than the
// room the line has left. The line keeps what fits and drops the rest without a word; this says
// how much of the paste it kept.
class PasteWatch : public QObject
{
    Q_OBJECT
public:
    explicit PasteWatch(QLineEdit& line);

signals:
    // kept of the offered characters went into the line; the rest was left out.
    void PasteCut(qsizetype kept, qsizetype offered);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit& m_line;
    qsizetype m_offered = 0; // the characters the input being handled pastes; 0 for a key typed
    qsizetype m_room = 0;    // the characters the line could take before it
};
