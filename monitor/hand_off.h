// Hands an object to the receive thread and takes it back safely while the channel runs: the
// receive thread looks at it through Visit, the owner Attaches a new one and Detaches, which
// returns once no visit can still reach the old one. Neither side allocates or takes a lock.
#pragma once

#include <atomic>
#include <thread>

template <class T>
class HandOff {
  public:
    void Attach(T* object) { m_object.store(object); }
    // Puts `object` (may be null) in the place of the one attached, which is the owner's alone
    // once this returns.
    void Replace(T* object) {
        m_object.store(object);
        while (m_visiting.load() != 0)
            std::this_thread::yield();
    }
    void Detach() { Replace(nullptr); }
    // Receive thread: calls `visit(object)` when one is attached.
    template <class F>
    void Visit(F&& visit) {
        // Announced before the pointer is read: a detacher that has cleared it and then sees no
        // visit under way knows that none can still reach the old object.
        m_visiting.fetch_add(1);
        if (T* object = m_object.load())
            visit(*object);
        m_visiting.fetch_sub(1);
    }

  private:
    std::atomic<T*> m_object{nullptr};
    std::atomic<int> m_visiting{0};
};
