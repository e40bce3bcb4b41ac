#include "core/clsData.h"

#include "core/clsCommonData.h"
#include "core/clsUserData.h"
#include "core/modInitial.h"

namespace {
std::function<void(const QString&)>& pageRequester() {
    static std::function<void(const QString&)> requester;
    return requester;
}
} // namespace

clsData::clsData() = default;

void clsData::SetPageRequester(std::function<void(const QString& url)> requester) {
    pageRequester() = std::move(requester);
}

clsData::~clsData() {
    // Release order: user data, common data, then the rest.
    mUserData.reset();
    mCommonData.reset();
}

clsUserData* clsData::UserData() {
    if (!mUserData)
        mUserData = std::make_unique<clsUserData>(this);
    return mUserData.get();
}

clsCommonData* clsData::CommonData() {
    if (!mCommonData)
        mCommonData = std::make_unique<clsCommonData>();
    return mCommonData.get();
}

void clsData::ReloadUserData() {
    mUserData.reset();
}

void clsData::UseInitialUserData() {
    mUserData = std::make_unique<clsUserData>(QString(), this);
    mUserData->LoadText(clsUserData::InitialDocument());
}

QString clsData::HostLogging(const QString& StrLoggingType) {
    QString page;
    if (StrLoggingType == QLatin1String("new"))
        page = QStringLiteral("/QVNewstat.html");
    else if (StrLoggingType == QLatin1String("live"))
        page = QStringLiteral("/QVlivingstat.html");
    if (page.isEmpty() || modInitial::gHostDomain.isEmpty())
        return QString();
    QString host = modInitial::gHostDomain.trimmed();
    if (!host.contains(QLatin1String("://")))
        host.prepend(QStringLiteral("http://"));
    while (host.endsWith('/'))
        host.chop(1);
    const QString address = host + page;
    if (pageRequester())
        pageRequester()(address);
    return address;
}
