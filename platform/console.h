// The terminal a program started from. A Windows program with a window has no console of its
// own, so what it prints (--help, the status lines of --headless) would go nowhere; started from
// a console, it writes to that one. Linux programs always have their terminal: nothing to do.
#pragma once

namespace platform {

// Points stdout and stderr to the console of the process that started the program, where they
// lead nowhere yet; streams redirected to a file or a pipe stay as they are.
void UseCallersConsole();

}  // namespace platform
