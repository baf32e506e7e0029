#pragma once

#include "terminal/ReadPiece.h"

#include <QObject>
#include <QTimer>

#include <optional>

// Leaves out of a link's pieces the polls answered with nothing new: a command that carries
// nothing (a POLL) followed by a reply that carries nothing (an ACK). Pieces go in in the order
// they were read and come out (Show) in the same order, less the pairs left out, which are
// counted (Hidden). A poll is held until the next piece says what answered it, and shown after
// FrameReader::kNotAFrameMs when none comes. While off, every piece goes straight through.
class PollHider : public QObject
{
    Q_OBJECT
public:
    explicit PollHider(QObject* parent = nullptr);

    void SetOn(bool on);
    bool isOn() const { return m_on; }
    void Take(const ReadPiece& piece);
    // Shows a poll held now.
    void Flush();
    qint64 hidden() const { return m_hidden; }

signals:
    void Show(const ReadPiece& piece);
    // Another pair was left out: count since this hider was made.
    void Hidden(qint64 count);

private:
    std::optional<ReadPiece> m_poll;
    QTimer m_timer;
    bool m_on = false;
    qint64 m_hidden = 0;
};
