#include "platform/DisplayLoss.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <X11/Xlib.h>
#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace DisplayLoss {
namespace {

std::function<void()> gEnd;
std::thread::id gMainThread;
std::atomic_flag gNoticed = ATOMIC_FLAG_INIT;

// How long a thread that noticed the loss waits for the main thread to end the process.
constexpr auto kMainThreadWait = std::chrono::seconds(5);

int onDisplayLost(Display*) {
    if (gNoticed.test_and_set()) {
        // Another thread noticed first and is ending the process.
        for (;;)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (std::this_thread::get_id() == gMainThread) {
        gEnd();
        ::_exit(1);
    }
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { gEnd(); }, Qt::QueuedConnection);
    std::this_thread::sleep_for(kMainThreadWait);
    ::_exit(1);
}

} // namespace

void InstallHandler(std::function<void()> endOnMainThread) {
    gEnd = std::move(endOnMainThread);
    gMainThread = std::this_thread::get_id();
    XSetIOErrorHandler(onDisplayLost);
}

} // namespace DisplayLoss
