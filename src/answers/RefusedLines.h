#pragma once

#include <QString>
#include <QStringList>

// The refusals of a file read a line at a time. A file of other text must not bury its reader
// under a line for each of its lines: the first kTold are listed as "NAME line N: why", the rest
// counted in one line at the end, as the window does for its command list.
class RefusedLines
{
public:
    static constexpr int kTold = 20;

    // name begins each line; none for a file the caller names.
    RefusedLines(QStringList& problems, const QString& name) : m_problems(problems), m_name(name) {}
    ~RefusedLines()
    {
        if (m_count > kTold)
            m_problems << QStringLiteral("%1%2 more lines refused")
                              .arg(m_name.isEmpty() ? QString() : m_name + QStringLiteral(": "))
                              .arg(m_count - kTold);
    }
    RefusedLines(const RefusedLines&) = delete;
    RefusedLines& operator=(const RefusedLines&) = delete;

    void Add(qsizetype line, const QString& why)
    {
        if (++m_count <= kTold)
            m_problems << (m_name.isEmpty() ? QString() : m_name + QLatin1Char(' ')) +
                              QStringLiteral("line %1: %2").arg(line).arg(why);
    }
    qsizetype count() const { return m_count; }

private:
    QStringList& m_problems;
    QString m_name;
    qsizetype m_count = 0;
};
