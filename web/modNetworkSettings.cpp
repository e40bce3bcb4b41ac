#include "web/modNetworkSettings.h"

#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace modNetworkSettings {

bool Open() {
    struct Candidate {
        const char* program;
        QStringList arguments;
    };
    const QList<Candidate> kde = {{"systemsettings", {QStringLiteral("kcm_proxy")}},
                                  {"systemsettings5", {QStringLiteral("proxy")}},
                                  {"kcmshell5", {QStringLiteral("proxy")}}};
    const QList<Candidate> gnome = {{"gnome-control-center", {QStringLiteral("network")}},
                                    {"cinnamon-settings", {QStringLiteral("network")}}};
    const bool onKde = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower().contains(QLatin1String("kde"));
    const QList<Candidate> candidates = onKde ? kde + gnome : gnome + kde;
    for (const Candidate& candidate : candidates) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(candidate.program));
        if (!program.isEmpty() && QProcess::startDetached(program, candidate.arguments))
            return true;
    }
    return false;
}

} // namespace modNetworkSettings
