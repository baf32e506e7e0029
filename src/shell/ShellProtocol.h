#pragma once

class ShellOutput;

// accessterm protocol list: the protocols built in, one a line, the name first, then its title.
int RunProtocolList(ShellOutput& output);
