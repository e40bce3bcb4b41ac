#include "notes/SaveThrottle.h"

SaveThrottle::SaveThrottle(std::function<void()> save, int intervalMs, QObject* parent)
    : QObject(parent), mSave(std::move(save)), mInterval(qMax(0, intervalMs)) {
    mTimer.setSingleShot(true);
    connect(&mTimer, &QTimer::timeout, this, &SaveThrottle::Flush);
}

void SaveThrottle::SetInterval(int ms) {
    mInterval = qMax(0, ms);
}

void SaveThrottle::Request() {
    mPending = true;
    if (mTimer.isActive() || mSaving)
        return;
    const qint64 since = mSinceSave.isValid() ? mSinceSave.elapsed() : mInterval;
    if (since >= mInterval)
        saveNow();
    else
        mTimer.start(int(mInterval - since));
}

void SaveThrottle::Flush() {
    mTimer.stop();
    if (mPending && !mSaving)
        saveNow();
}

void SaveThrottle::Cancel() {
    mTimer.stop();
    mPending = false;
}

void SaveThrottle::saveNow() {
    mTimer.stop();
    mPending = false;
    mSaving = true;
    mSinceSave.start();
    ++mSaves;
    // The save may show a message and so run events; a change made meanwhile is only marked
    // pending and gets the next interval's save.
    struct Done {
        SaveThrottle* self;
        ~Done() {
            self->mSaving = false;
            if (self->mPending && !self->mTimer.isActive())
                self->mTimer.start(self->mInterval);
        }
    } done{this};
    mSave();
}
