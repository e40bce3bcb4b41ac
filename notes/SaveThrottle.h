#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

// Runs a save at most once per interval however often it is asked for. The first request after
// a quiet interval saves at once; requests that follow within the interval are gathered into one
// save at its end. Flush writes what is pending right away (before a window closes, before the
// program ends), so nothing asked for is ever saved later than one interval after the request.
class SaveThrottle : public QObject {
    Q_OBJECT
public:
    explicit SaveThrottle(std::function<void()> save, int intervalMs = 200, QObject* parent = nullptr);

    // Marks a change to be saved, and saves now when the last save is an interval ago.
    void Request();
    // Saves now when a change is pending.
    void Flush();
    // Forgets a pending change (someone else writes it).
    void Cancel();
    bool Pending() const { return mPending; }

    int Interval() const { return mInterval; }
    void SetInterval(int ms);
    // How many saves have run (for the benchmark and the tests of the gathering).
    int SaveCount() const { return mSaves; }

private:
    void saveNow();

    std::function<void()> mSave;
    int mInterval;
    bool mPending = false;
    bool mSaving = false;
    int mSaves = 0;
    QElapsedTimer mSinceSave;
    QTimer mTimer;
};
