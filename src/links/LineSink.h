#pragma once

#include <QString>

// Where a link writes the one kind of line it logs itself (the TCP link's socket state): the
// window's event log, or a shell mode's standard error.
class LineSink
{
public:
    virtual void AddLine(const QString& text) = 0;

protected:
    ~LineSink() = default;
};
