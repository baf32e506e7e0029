#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

// Splits text that comes a piece at a time into lines ("\n" ends one, and is not handed on),
// holding no more than atMost bytes of any: a longer line is handed on in parts, so that no input
// grows memory without bound.
class BoundedLines
{
public:
    // A line or a part of one: first, last or both.
    using Sink = std::function<void(QByteArrayView text, bool first, bool last)>;

    BoundedLines(qsizetype atMost, Sink sink) : m_atMost(atMost), m_sink(std::move(sink)) {}

    void Feed(QByteArrayView bytes);
    // The text ended: a last line with no "\n" after it is handed on.
    void Finish();

private:
    void Hand(QByteArrayView text, bool last);

    qsizetype m_atMost;
    Sink m_sink;
    QByteArray m_held;     // the line begun and not yet handed on
    bool m_inLine = false; // a part of the line has been handed on
};
