#include "platform/RecentSource.h"

#include "platform/KdeRecentFolder.h"
#include "platform/LnkRecentFolder.h"
#include "platform/XbelRecentList.h"

#include <QDir>
#include <QStandardPaths>

RecentSource::~RecentSource() = default;

namespace {

// The user folders of a Wine prefix: the one of this user, or when the name is unknown every
// one but the shared "Public".
QStringList wineUsers(const QString& prefix) {
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
    if (!user.isEmpty())
        return {user};
    QStringList users = QDir(prefix + QStringLiteral("/drive_c/users"))
                            .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    users.removeAll(QStringLiteral("Public"));
    return users;
}

} // namespace

std::vector<std::unique_ptr<RecentSource>> RecentSource::DesktopSources() {
    std::vector<std::unique_ptr<RecentSource>> sources;

    QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (prefix.isEmpty())
        prefix = QDir::homePath() + QStringLiteral("/.wine");
    prefix = QDir::cleanPath(prefix);
    for (const QString& user : wineUsers(prefix)) {
        const QString home = prefix + QStringLiteral("/drive_c/users/") + user;
        // Windows Vista and later keep the folder under the roaming profile, older ones in the home.
        sources.push_back(std::make_unique<LnkRecentFolder>(
            home + QStringLiteral("/AppData/Roaming/Microsoft/Windows/Recent"), prefix));
        sources.push_back(std::make_unique<LnkRecentFolder>(home + QStringLiteral("/Recent"), prefix));
    }

    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    sources.push_back(std::make_unique<KdeRecentFolder>(data + QStringLiteral("/RecentDocuments")));
    sources.push_back(std::make_unique<XbelRecentList>(data + QStringLiteral("/recently-used.xbel")));
    return sources;
}
