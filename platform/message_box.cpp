#include "platform/message_box.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
MessageBoxHook g_hook;

void WriteToStderr(const std::string& text, const std::string& caption, MessageIcon) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

}  // namespace

void MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    MessageBoxHook hook;
    {
        std::lock_guard lock(g_mutex);
        hook = g_hook;
    }
    if (hook) {
        hook(text, caption, icon);
    } else {
        WriteToStderr(text, caption, icon);
    }
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard lock(g_mutex);
    MessageBoxHook previous = std::move(g_hook);
    g_hook = std::move(hook);
    return previous;
}

}  // namespace platform
