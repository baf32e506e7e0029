#pragma once

#include <QString>

#include <functional>

// What a line may carry beyond its text, for what the operator adds to the bare log: a short
// text shown after the line in a second colour and read out as its description (a frame's
// summary, a datagram's sender), more for its tooltip (a line each), and a mark that draws it
// red (a failure to see without hovering). None of it is part of the line's text: Copy copies
// the text as before.
struct LineMarks {
    QString aside;
    QString details;
    bool flagged = false;
    // Further lines of the tooltip, made when they are asked for: for what many lines carry and
    // few are hovered (a frame's fields), so that they cost neither time nor memory before.
    std::function<QString()> laterDetails = nullptr;

    bool isEmpty() const
    {
        return aside.isEmpty() && details.isEmpty() && !laterDetails && !flagged;
    }
};
