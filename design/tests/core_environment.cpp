// The design tests run as a program without windows does: the composition root's core hooks are
// installed before the first test, and a test replaces on purpose only what it fakes.
#include <gtest/gtest.h>

#include "app/root.h"

namespace plexa {
namespace {

class CoreHooksEnvironment : public ::testing::Environment {
public:
    void SetUp() override { InstallCoreHooks(); }
};

[[maybe_unused]] ::testing::Environment* const gCoreHooks =
    ::testing::AddGlobalTestEnvironment(new CoreHooksEnvironment);

}  // namespace
}  // namespace plexa
