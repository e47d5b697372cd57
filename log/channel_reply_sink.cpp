// Kept apart from the matching so that code which never replies on a real channel does not need
// the channel layer's transmit path.
#include "channel/can_channel.h"
#include "log/auto_replies.h"

namespace {

int SendOnChannel(void* context, std::uint32_t id, int length, const std::uint8_t* data) {
    return CanSend(static_cast<CanChannel*>(context), id, 0, length, data);
}

}  // namespace

ReplySink ChannelReplySink(CanChannel* channel) {
    return {&SendOnChannel, channel};
}
