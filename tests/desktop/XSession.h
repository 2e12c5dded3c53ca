// A private X server (Xvfb) for the tests that need a real window system, and a window manager
// (openbox) on it when a test needs one. The window manager keeps a strip at the top of the
// screen free, so that the work area differs from the screen as it does under a panel.
#pragma once

#include <QRect>
#include <string>

namespace desktop_test {

inline constexpr int kScreenWidth = 1280;
inline constexpr int kScreenHeight = 800;
inline constexpr int kReservedTop = 24;

// Starts Xvfb on a free display once per process and points DISPLAY and QT_QPA_PLATFORM at it,
// for the application the tests create afterwards. Empty when the server runs, else why not.
std::string StartXServer();

// Starts openbox on that display and waits until it manages the screen; empty when it does,
// else why not. StopWindowManager ends it and waits until it has let the screen go.
std::string StartWindowManager();
void StopWindowManager();

// The work area the window manager announces (_NET_WORKAREA), empty without one.
QRect AnnouncedWorkArea();

// A window's title as the window system holds it (_NET_WM_NAME), after Qt has added to it
// whatever it adds.
std::string WindowSystemTitle(unsigned long windowId);

}  // namespace desktop_test
