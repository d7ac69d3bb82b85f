// Mode switching inside this test process shows the program's own windows.
#include <gtest/gtest.h>

#include "app/mode_ui.h"

namespace {

class ModeUiEnvironment : public testing::Environment {
public:
    void SetUp() override { app::RegisterModeUi(); }
};

testing::Environment* const g_modeUiEnvironment = testing::AddGlobalTestEnvironment(new ModeUiEnvironment);

}  // namespace
