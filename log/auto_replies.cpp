#include "log/auto_replies.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

// The first word holds the two identifiers, so most frames are turned away after one load.
struct Identifiers {
    std::uint32_t triggerId;
    std::uint32_t replyId;
};

}  // namespace

ReplyEntry AutoReplies::Entry(int i) const {
    if (i < 0 || i >= kEntryCount)
        return {};
    std::lock_guard lock(textLock_);
    return texts_[i];
}

void AutoReplies::SetEntry(int i, ReplyEntry entry) {
    if (i < 0 || i >= kEntryCount)
        return;
    Compiled compiled{};
    compiled.triggerId = entry.triggerId;
    compiled.replyId = entry.replyId;
    compiled.triggerCount = static_cast<std::uint8_t>(
        ParseByteList(compiled.trigger, kByteListLimit, entry.triggerData.c_str()));
    compiled.replyCount = static_cast<std::uint8_t>(
        ParseByteList(compiled.reply, kByteListLimit, entry.replyData.c_str()));

    std::lock_guard lock(textLock_);
    texts_[i] = std::move(entry);
    Write(slots_[i], compiled);
}

void AutoReplies::Write(Slot& slot, const Compiled& compiled) {
    std::uint64_t words[kWords] = {};
    std::memcpy(words, &compiled, sizeof compiled);
    const std::uint32_t sequence = slot.sequence.load(std::memory_order_relaxed);
    slot.sequence.store(sequence + 1, std::memory_order_relaxed);
    // Release on every word: a reader that sees one of them also sees the odd counter before it.
    for (int k = 0; k < kWords; ++k)
        slot.words[k].store(words[k], std::memory_order_release);
    slot.sequence.store(sequence + 2, std::memory_order_release);
}

AutoReplies::Compiled AutoReplies::Read(const Slot& slot) const {
    std::uint64_t words[kWords];
    for (int attempt = 0;; ++attempt) {
        const std::uint32_t before = slot.sequence.load(std::memory_order_acquire);
        if ((before & 1) == 0) {
            // Acquire on every word keeps the second look at the counter after them.
            for (int k = 0; k < kWords; ++k)
                words[k] = slot.words[k].load(std::memory_order_acquire);
            if (slot.sequence.load(std::memory_order_relaxed) == before)
                break;
        }
        // The writer stores a handful of words; if it was preempted in between, let it run.
        if (attempt >= 64)
            std::this_thread::yield();
    }
    Compiled compiled;
    std::memcpy(&compiled, words, sizeof compiled);
    return compiled;
}

void AutoReplies::MatchAutoReplies(std::uint32_t id, std::uint8_t dlc, const std::uint8_t* data,
                                   ReplySink sink) const {
    const int available = data == nullptr ? 0 : std::min<int>(dlc, kByteListLimit);
    for (const Slot& slot : slots_) {
        // One word is always whole, so turning a frame away on it is the decision of one
        // version of the entry.
        Identifiers quick;
        const std::uint64_t first = slot.words[0].load(std::memory_order_relaxed);
        std::memcpy(&quick, &first, sizeof quick);
        if (quick.triggerId != id || quick.replyId == 0)
            continue;

        const Compiled entry = Read(slot);
        if (entry.triggerId != id || entry.replyId == 0)
            continue;
        const int compared = std::min<int>(entry.triggerCount, available);
        if (!std::equal(entry.trigger, entry.trigger + compared, data))
            continue;
        if (sink.send != nullptr)
            sink.send(sink.context, entry.replyId, entry.replyCount, entry.reply);
    }
}
