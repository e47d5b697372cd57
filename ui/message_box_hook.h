// Message boxes that the layers below the window ask for, from any thread: shown by the
// user-interface thread, on its own time when the request came from another thread (the receive
// thread must never wait for the window).
#pragma once

// Installs the hook; RemoveMessageBoxHook restores the default.
void InstallMessageBoxHook();
void RemoveMessageBoxHook();
