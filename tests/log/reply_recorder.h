// Records the replies sent through a ReplySink, for the tests.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "log/auto_replies.h"

struct SentReply {
    std::uint32_t id;
    std::vector<std::uint8_t> data;
    bool operator==(const SentReply&) const = default;
};

class ReplyRecorder {
  public:
    ReplySink Sink() { return {&Record, this}; }
    std::vector<SentReply> sent;
    int result = 0;  // what each send reports back

  private:
    static int Record(void* context, std::uint32_t id, int length, const std::uint8_t* data) {
        auto* self = static_cast<ReplyRecorder*>(context);
        self->sent.push_back({id, std::vector<std::uint8_t>(data, data + length)});
        return self->result;
    }
};

inline std::ostream& operator<<(std::ostream& os, const SentReply& r) {
    os << "reply 0x" << std::hex << r.id << " [";
    for (auto b : r.data)
        os << ' ' << static_cast<int>(b);
    return os << " ]" << std::dec;
}
