#pragma once

#include <functional>

// What happens when the X server goes away under the program. By default Xlib ends the process
// with exit() on whichever thread noticed, often one of the web engine's: the rest of the
// program then tears down under the main thread, which crashes it before the user's changes are
// written. With this handler the main thread does the end instead: `endOnMainThread` runs there
// and must not return (it writes what is unsaved and ends the process). If the main thread does
// not get to it within a few seconds (it waits for the thread that noticed), the process ends
// without it.
namespace DisplayLoss {

void InstallHandler(std::function<void()> endOnMainThread);

} // namespace DisplayLoss
