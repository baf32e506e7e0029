#pragma once

#include "answers/RefusedLines.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdlib>

// Every refusal must name a line of the text it came from: "<prefix>line N: why", N from 1 to the
// number of lines; past RefusedLines::kTold of them the last says how many more there were.
// Anything else ends the run as a finding.
inline void RequireNamedLines(const QStringList& problems, const QString& text,
                              const QString& prefix)
{
    static const QRegularExpression named(QStringLiteral("^line (\\d+): .+"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const qsizetype lines = text.count(QLatin1Char('\n')) + 1;
    for (const QString& problem : problems) {
        if (&problem == &problems.last() && problems.size() == RefusedLines::kTold + 1 &&
            problem.endsWith(QLatin1String(" more lines refused")))
            continue;
        if (!problem.startsWith(prefix))
            std::abort();
        const QRegularExpressionMatch match = named.match(problem.sliced(prefix.size()));
        const int number = match.captured(1).toInt();
        if (!match.hasMatch() || number < 1 || number > lines)
            std::abort();
    }
}
