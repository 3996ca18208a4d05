// Numbered pieces of work done by this thread and a second one, taken on this thread in order,
// through a few reusable slots.
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

// Pieces 0, 1, 2, ... are each done into a slot by whichever thread is free: the second thread
// claims the lowest piece not yet claimed whenever a slot is free, and this thread, while the
// next piece it takes is not done, does the lowest unclaimed piece itself. So the work goes to
// the thread that has time for it: when this thread has more to do with each piece it takes,
// the second does more of the pieces. At most Count pieces are claimed and not yet taken, so
// memory stays bounded whatever the size of the work. A failure of the second thread is raised
// again on this thread, and this thread can stop the second one at any time.
template <typename Slot, std::size_t Count>
class SlotRing {
public:
    // Does piece `piece` into `slot`; each thread has a work of its own, for state of its own.
    using Work = std::function<void(std::size_t piece, Slot& slot)>;

    explicit SlotRing(std::size_t pieces) : Pieces(pieces) {}
    SlotRing(const SlotRing&) = delete;
    SlotRing& operator=(const SlotRing&) = delete;
    ~SlotRing() { Stop(); }

    // Runs `work` on a second thread when the machine has a second core; false when it has
    // none or no thread could be started, and then this thread does every piece.
    bool Start(Work work) {
        if (std::thread::hardware_concurrency() < 2) return false;
        try {
            Helper = std::thread([this, work = std::move(work)] {
                std::exception_ptr failure;
                try {
                    for (;;) {
                        const std::size_t at = ClaimOnSecond();
                        if (at == kNone) break;
                        work(States[at].Piece, Slots[at]);
                        Done(at);
                    }
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
        }
        return true;
    }

    // This thread: the next piece in order, once done, doing pieces with `work` while it
    // waits. Raises what the second thread failed with, and a logic error when every piece
    // has been taken.
    Slot& Take(const Work& work) {
        std::unique_lock lock(Lock);
        if (NextTaken >= Pieces) throw std::logic_error("every piece has been taken");
        for (;;) {
            for (std::size_t at = 0; at < Count; ++at) {
                if (States[at].Use == SlotUse::Done && States[at].Piece == NextTaken) {
                    Taken = at;
                    return Slots[at];
                }
            }
            if (Failure) std::rethrow_exception(Failure);
            if (const std::size_t at = Claim(); at != kNone) {
                lock.unlock();
                work(States[at].Piece, Slots[at]);
                lock.lock();
                States[at].Use = SlotUse::Done;
                continue;
            }
            // The next piece is the second thread's, and it is still at it.
            if (Finished) throw std::logic_error("the second thread ended before its piece");
            Changed.wait(lock);
        }
    }
    // The slot taken last is done with and may be filled again.
    void Release() {
        {
            const std::lock_guard lock(Lock);
            States[Taken].Use = SlotUse::Free;
            ++NextTaken;
        }
        Changed.notify_all();
    }

    // Ends the second thread (it claims no further piece) and waits for it.
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
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    enum class SlotUse { Free, Working, Done };
    struct State {
        SlotUse Use = SlotUse::Free;
        std::size_t Piece = 0;
    };

    // The lowest unclaimed piece in a free slot, if both exist; the lock is held.
    std::size_t Claim() {
        if (NextClaimed >= Pieces) return kNone;
        for (std::size_t at = 0; at < Count; ++at) {
            if (States[at].Use != SlotUse::Free) continue;
            States[at] = {SlotUse::Working, NextClaimed++};
            return at;
        }
        return kNone;
    }

    std::size_t ClaimOnSecond() {
        std::unique_lock lock(Lock);
        for (;;) {
            if (Stopped || NextClaimed >= Pieces) return kNone;
            if (const std::size_t at = Claim(); at != kNone) return at;
            Changed.wait(lock);
        }
    }

    void Done(std::size_t at) {
        {
            const std::lock_guard lock(Lock);
            States[at].Use = SlotUse::Done;
        }
        Changed.notify_all();
    }

    const std::size_t Pieces;
    // The slots keep what they hold from piece to piece, so a slot's memory is asked for once.
    std::array<Slot, Count> Slots{};
    std::array<State, Count> States{};
    std::size_t Taken = 0;  // the slot taken last
    std::mutex Lock;
    std::condition_variable Changed;
    std::size_t NextClaimed = 0;
    std::size_t NextTaken = 0;
    bool Stopped = false;
    bool Finished = false;  // the second thread has ended
    std::exception_ptr Failure;
    std::thread Helper;  // last: joined before the rest goes
};

}  // namespace tervalo
