#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class clsCommonData;
class clsUserData;

// The data hub: the one owner of the stores. Each member is created on the first read of its
// property and kept until the hub is released.
class clsData : public QObject {
    Q_OBJECT
public:
    clsData();
    ~clsData() override;

    clsUserData* UserData();
    clsCommonData* CommonData();
    bool HasUserData() const { return mUserData != nullptr; }
    // Drops the loaded user data; the next read of UserData loads the file again.
    void ReloadUserData();
    // Replaces the user data with an initial document that is kept in memory only.
    void UseInitialUserData();

    // The statistics ping: "new" or "live" requests the matching page on the maker's host once;
    // nothing is read back and a failure goes unnoticed. Returns the address requested (empty
    // for any other kind).
    QString HostLogging(const QString& StrLoggingType);
    // The fetch that requests a page for HostLogging (installed with the HTTP fetchers; without
    // it no page is requested).
    static void SetPageRequester(std::function<void(const QString& url)> requester);

private:
    std::unique_ptr<clsUserData> mUserData;
    std::unique_ptr<clsCommonData> mCommonData;
};
