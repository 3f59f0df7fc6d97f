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
// An X server that answered keeps the answering connection until PlatformReleaseDisplayProbe: a
// server resets when its last client leaves and turns away a client that comes meanwhile, so the
// question must not leave it without clients before the application object connects.
std::string PlatformDisplayProblem();

// Closes the connection the last answered question keeps (once the application object has its own).
void PlatformReleaseDisplayProbe();

// Makes a program without windows start on the offscreen platform when no platform is chosen and
// there is no display, or when the display that is named cannot be reached.
void PlatformFallBackToOffscreen();

}  // namespace plexa
