#pragma once

// Lets the window's thread go back to its event loop once: it handles what is pending, input
// and repaints included, and returns. Work of many milliseconds that cannot wait is done in
// slices with a turn between each, so the window never waits on all of it at once.
void EventTurn();
