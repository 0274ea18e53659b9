// Engine set up per test; every test runs in its own process under CTest.
#pragma once
#include "engine/vbmp3.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(vbmp3_init(), 1); }
    void TearDown() override { vbmp3_free(); }
};

// Polls until `done` holds or the time runs out; returns whether it held.
inline bool WaitFor(const std::function<bool()>& done, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}
