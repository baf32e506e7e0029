#pragma once

class ShellOutput;
struct ShellOptions;

// accessterm checksum: each command completed with its check value, in the notation, as the
// "[Output]" line of send --checksum shows it; with --all, per command a line for each check
// value: its name, its value and "fits" when the command's own bytes already carry it. Returns
// the exit status: 0, or 2 for a command the notation refuses.
int RunChecksum(const ShellOptions& options, ShellOutput& output);
