#pragma once

#include <optional>

// What a new user meets before the window opens: a first word that is neither a command nor an
// option, or no display to open the window on, ends the program with a line that says what to
// do instead. The exit status then (2), or none when the window may open.
std::optional<int> TurnedAwayFromWindow(int argc, char* argv[]);
