// The application's side of mode switching's on-screen interface (plans/mode_ui.h).
#pragma once

namespace app {

// Registers the application's windows as the interface of mode switching (start-up; tests that
// drive mode switching inside their own process call it too).
void RegisterModeUi() noexcept;

}  // namespace app
