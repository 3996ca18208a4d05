// Work handed from a second thread to this one in order, through a few reusable slots.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace tervalo {

// The second thread fills slots one after another and this thread takes them in the same
// order; the filling never runs more than Count slots ahead of the taking, so memory stays
// bounded whatever the size of the work. A failure of the second thread is raised again on
// this thread, and this thread can stop the second one at any time.
template <typename Slot, std::size_t Count>
class SlotRing {
public:
    SlotRing() = default;
    SlotRing(const SlotRing&) = delete;
    SlotRing& operator=(const SlotRing&) = delete;
    ~SlotRing() { Stop(); }

    // Runs `fill` on a second thread when the machine has a second core; false when it has
    // none or no thread could be started, and then nothing runs.
    bool Start(std::function<void(SlotRing&)> fill) {
        if (std::thread::hardware_concurrency() < 2) return false;
        try {
            // Only now: a ring that never starts costs no slots.
            Slots = std::make_unique<std::array<Slot, Count>>();
            Helper = std::thread([this, fill = std::move(fill)] {
                std::exception_ptr failure;
                try {
                    fill(*this);
                } catch (...) {
                    failure = std::current_exception();
                }
                const std::lock_guard lock(Lock);
                Failure = failure;
                Finished = true;
                Changed.notify_all();
            });
        } catch (const std::system_error&) {
            return false;
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // Second thread: the next slot to fill, once it is free; null when this thread stopped.
    Slot* WaitToFill() {
        std::unique_lock lock(Lock);
        Changed.wait(lock, [this] { return Stopped || FilledCount < TakenCount + Count; });
        return Stopped ? nullptr : &(*Slots)[FilledCount % Count];
    }
    void Fill() {
        {
            const std::lock_guard lock(Lock);
            ++FilledCount;
        }
        Changed.notify_all();
    }

    // This thread: the next filled slot, in order. Raises what the second thread failed with,
    // or a logic error when it ended without filling the slot asked for.
    Slot& WaitToTake() {
        std::unique_lock lock(Lock);
        Changed.wait(lock, [this] { return TakenCount < FilledCount || Finished; });
        if (TakenCount == FilledCount) {
            if (Failure) std::rethrow_exception(Failure);
            throw std::logic_error("the second thread filled fewer slots than were taken");
        }
        return (*Slots)[TakenCount % Count];
    }
    // The slot taken last is done with and may be filled again.
    void Take() {
        {
            const std::lock_guard lock(Lock);
            ++TakenCount;
        }
        Changed.notify_all();
    }

    // Ends the second thread (it sees no further slot) and waits for it.
    void Stop() {
        if (!Helper.joinable()) return;
        {
            const std::lock_guard lock(Lock);
            Stopped = true;
        }
        Changed.notify_all();
        Helper.join();
    }

private:
    // On the heap: a slot may hold many records.
    std::unique_ptr<std::array<Slot, Count>> Slots;
    std::mutex Lock;
    std::condition_variable Changed;
    std::size_t FilledCount = 0;
    std::size_t TakenCount = 0;
    bool Stopped = false;
    bool Finished = false;  // the second thread has ended
    std::exception_ptr Failure;
    std::thread Helper;  // last: joined before the rest goes
};

}  // namespace tervalo
