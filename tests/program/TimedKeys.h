// Keys for whole runs in tests, each given not before its time.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "Clock.h"
#include "Console.h"

namespace tessary {

// Keys, each not before its time (ms after the first question).
class TimedKeys : public platform::KeyInput {
public:
    explicit TimedKeys(std::vector<std::pair<int64_t, int>> keys) : keys_(keys.begin(), keys.end()) {}
    bool KeyWaiting() override {
        if (start_ == 0) start_ = platform::TimeNowMs();
        return !keys_.empty() && platform::TimeNowMs() - start_ >= keys_.front().first;
    }
    int ReadKey() override {
        if (keys_.empty()) return platform::kNoMoreKeys;
        while (!KeyWaiting()) platform::SleepMs(5);
        const int key = keys_.front().second;
        keys_.pop_front();
        return key;
    }

private:
    std::deque<std::pair<int64_t, int>> keys_;
    int64_t start_ = 0;
};

}  // namespace tessary
