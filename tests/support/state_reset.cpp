// The listener behind ResetAfterEachTest.
#include "tests/support/state_reset.h"

#include <vector>

#include <gtest/gtest.h>

namespace plexa::test {

namespace {

class ResetListener : public testing::EmptyTestEventListener {
public:
    explicit ResetListener(std::vector<StateReset> resets) : resets_(std::move(resets)) {}
    void OnTestEnd(const testing::TestInfo&) override {
        for (StateReset reset : resets_) reset();
    }

private:
    std::vector<StateReset> resets_;
};

}  // namespace

bool ResetAfterEachTest(std::initializer_list<StateReset> resets) {
    // The listener list owns what is appended to it.
    testing::UnitTest::GetInstance()->listeners().Append(new ResetListener(resets));
    return true;
}

}  // namespace plexa::test
