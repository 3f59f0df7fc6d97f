// Whether the window system that the platform would start on can be reached, asked before the
// application object is made: Qt ends the process (SIGABRT) when the platform it was given cannot
// start, so a program without windows falls back to the offscreen platform, and a program with
// windows says why it cannot start and exits.
#pragma once

#include <string>

namespace plexa {

// Empty when the platform named by QT_QPA_PLATFORM (a list separated by ';' is tried in order; X11
// when it is not set) can start: an X server answers on DISPLAY, a Wayland compositor listens on
// WAYLAND_DISPLAY, or the platform needs no server (offscreen, minimal). Otherwise why not, in
// words ("no X server answers on DISPLAY \":9\"").
std::string PlatformDisplayProblem();

// Makes a program without windows start on the offscreen platform when no platform is chosen and
// there is no display, or when the display that is named cannot be reached.
void PlatformFallBackToOffscreen();

}  // namespace plexa
