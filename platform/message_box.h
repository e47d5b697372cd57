// Message boxes for failures that the layers below the window must report to the operator.
//
// The default hook writes to stderr; the program replaces it with one that shows a real box on
// the user-interface thread. The hook may be called from any thread.
#pragma once

#include <functional>
#include <string>

// <windows.h> (wx brings it along on Windows) makes MessageBox a macro for MessageBoxW; here it is
// this program's own function.
#undef MessageBox

namespace platform {

enum class MessageIcon { kInformation, kExclamation, kError };

using MessageBoxHook =
    std::function<void(const std::string& text, const std::string& caption, MessageIcon icon)>;

void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon);

// Installs a hook and returns the previous one; an empty hook restores the default.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

}  // namespace platform
