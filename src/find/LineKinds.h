#pragma once

#include <QString>

#include <span>

class LogLine;

// The kinds of line a search can be narrowed to, in the order they are offered, every line first.
struct LineKind {
    QString name;
    bool (*accepts)(const LogLine& line);
};
std::span<const LineKind> LineKinds();
