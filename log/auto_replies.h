// Automatic replies: four entries, each a trigger (an identifier and a prefix of data bytes) and
// the frame to send when a received frame matches it.
//
// The entries are edited on the user-interface thread and read for every received frame on the
// receive thread. Each entry is published as a whole behind a sequence counter, so a frame is
// matched against either the old or the new entry, never a mix of both; the receive thread never
// takes a lock and never allocates, and the editor holds nothing while the frame is matched.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "log/byte_list.h"

struct CanChannel;

struct ReplyEntry {
    std::uint32_t triggerId = 0;
    std::string triggerData;    // blank-separated hex bytes, as typed
    std::uint32_t replyId = 0;  // 0 switches the entry off, whatever the other fields hold
    std::string replyData;      // blank-separated hex bytes, as typed

    bool operator==(const ReplyEntry&) const = default;
};

// Where a reply goes: a data frame with the identifier and `length` bytes (0 to 10). The result
// is ignored, since a refused reply is simply dropped. Plain pointers, so sending allocates
// nothing on the receive thread.
struct ReplySink {
    int (*send)(void* context, std::uint32_t id, int length, const std::uint8_t* data) = nullptr;
    void* context = nullptr;
};

// Sends through CanSend on the channel (RTR flag 0).
ReplySink ChannelReplySink(CanChannel* channel);

class AutoReplies {
  public:
    static constexpr int kEntryCount = 4;

    AutoReplies() = default;
    AutoReplies(const AutoReplies&) = delete;
    AutoReplies& operator=(const AutoReplies&) = delete;

    // Entries 0 to 3; an index outside gives an empty entry (off) and is not stored.
    ReplyEntry Entry(int i) const;
    void SetEntry(int i, ReplyEntry entry);

    // Receive thread, for every received frame before its row is stored. For each entry in order
    // whose trigger identifier equals `id` and whose reply identifier is set: when its trigger
    // bytes agree with `data` over the first min(trigger count, dlc) positions, it sends its reply
    // through `sink` at once. No trigger bytes or a dlc of 0 therefore match any frame with the
    // identifier. At most 10 bytes of data are read.
    void MatchAutoReplies(std::uint32_t id, std::uint8_t dlc, const std::uint8_t* data,
                          ReplySink sink) const;

  private:
    // An entry as the receive thread uses it: its texts already turned into bytes. The texts
    // cannot change without SetEntry, so parsing them at every frame would give the same bytes.
    struct Compiled {
        std::uint32_t triggerId;
        std::uint32_t replyId;
        std::uint8_t triggerCount;
        std::uint8_t replyCount;
        std::uint8_t trigger[kByteListLimit];
        std::uint8_t reply[kByteListLimit];
    };
    static constexpr int kWords = (sizeof(Compiled) + 7) / 8;

    // One entry behind a sequence counter, odd while it is rewritten. Every word is an atomic,
    // so a reader racing the writer sees whole words and retries on a changed counter.
    struct Slot {
        std::atomic<std::uint32_t> sequence{0};
        std::atomic<std::uint64_t> words[kWords] = {};
    };

    Compiled Read(const Slot& slot) const;
    void Write(Slot& slot, const Compiled& compiled);

    Slot slots_[kEntryCount];
    // The texts as typed, for the dialog; also orders concurrent SetEntry calls.
    mutable std::mutex textLock_;
    ReplyEntry texts_[kEntryCount];
};
