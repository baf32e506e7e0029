#pragma once

// Runs a shell mode (send, listen, --help, --version) without a window or a display, and
// returns its exit status.
int RunShell(int argc, char* argv[]);
