// Pieces done by two threads and taken in order: whichever thread is slower, every piece is
// taken once, in its place, and a failure on the second thread reaches the taker.
#include "core/SlotRing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <thread>

namespace tervalo {
namespace {

struct Piece {
    std::size_t Number = 0;
    bool OnSecond = false;
};

// Waits, five seconds at most, until `done` is set by the other thread.
void AwaitOther(const std::atomic<bool>& done) {
    for (int i = 0; i < 5000 && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(SlotRing, EveryPieceIsTakenInOrderWhicheverThreadIsSlower) {
    constexpr std::size_t kPieces = 200;
    // "Slower" is made certain rather than timed: the slow side does nothing until the other
    // has done a piece.
    const struct {
        const char* Slower;
        bool SecondSlow;
        bool TakerSlow;
    } cases[] = {{"neither", false, false}, {"second", true, false}, {"taker", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Slower);
        std::atomic<bool> secondDid{false};
        std::atomic<bool> takerDid{false};
        SlotRing<Piece, 4> ring(kPieces);
        const bool started = ring.Start([&](std::size_t number, Piece& piece) {
            if (c.SecondSlow) AwaitOther(takerDid);
            piece = {number, true};
            secondDid = true;
        });
        if (c.TakerSlow && started) AwaitOther(secondDid);
        std::size_t onSecond = 0;
        for (std::size_t number = 0; number < kPieces; ++number) {
            const Piece& piece = ring.Take([&](std::size_t n, Piece& p) {
                p = {n, false};
                takerDid = true;
            });
            ASSERT_EQ(piece.Number, number);
            onSecond += piece.OnSecond ? 1 : 0;
            ring.Release();
        }
        EXPECT_THROW(ring.Take([](std::size_t, Piece&) {}), std::logic_error);
        if (!started) continue;  // one core: this thread did every piece
        // A slow taker leaves work to the second thread, and a slow second thread leaves it
        // to the taker.
        if (c.TakerSlow) {
            EXPECT_GT(onSecond, 0u);
        }
        if (c.SecondSlow) {
            EXPECT_LT(onSecond, kPieces);
        }
    }
}

TEST(SlotRing, FailureOfTheSecondThreadReachesTheTaker) {
    std::atomic<bool> tried{false};
    SlotRing<Piece, 2> ring(100);
    if (!ring.Start([&](std::size_t, Piece&) {
            tried = true;
            throw std::runtime_error("second");
        }))
        GTEST_SKIP() << "one core";
    // The taker does its pieces only once the second thread has failed on one of its own.
    const auto afterTheFailure = [&](std::size_t n, Piece& p) {
        AwaitOther(tried);
        p = {n, false};
    };
    EXPECT_THROW(
        for (int i = 0; i < 100; ++i) {
            ring.Take(afterTheFailure);
            ring.Release();
        },
        std::runtime_error);
}

}  // namespace
}  // namespace tervalo
