#pragma once

#include <optional>

// What a new user meets before the window opens: a first word that is neither a command nor an
// option, or no display to open the window on, ends the program with a line that says what to
// do instead. The exit status then (2), or none when the window may open.
std::optional<int> TurnedAwayFromWindow(int argc, char* argv[]);

// Held while the window's application is made: a display that cannot be opened (a DISPLAY left
// by an SSH session that is gone, a display server that stopped) ends the program as no display
// does, with one line and status 2, instead of the toolkit's abort. What the toolkit says
// meanwhile is held, and given on once the display is open.
class DisplayOpening
{
public:
    DisplayOpening();
    ~DisplayOpening();
    DisplayOpening(const DisplayOpening&) = delete;
    DisplayOpening& operator=(const DisplayOpening&) = delete;
};
