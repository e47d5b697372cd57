// Replaces the message-box hook for the lifetime of the object and records every box.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace testsupport {

struct ShownBox {
    std::string text;
    std::string caption;
    platform::MessageIcon icon;
};

class MessageBoxCapture {
  public:
    MessageBoxCapture() {
        previous_ =
            platform::SetMessageBoxHook([this](const std::string& text, const std::string& caption,
                                               platform::MessageIcon icon) {
                std::lock_guard lock(mutex_);
                boxes_.push_back(ShownBox{text, caption, icon});
            });
    }
    ~MessageBoxCapture() { platform::SetMessageBoxHook(std::move(previous_)); }
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<ShownBox> Boxes() const {
        std::lock_guard lock(mutex_);
        return boxes_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<ShownBox> boxes_;
    platform::MessageBoxHook previous_;
};

}  // namespace testsupport
