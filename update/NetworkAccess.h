#pragma once
#include <QNetworkRequest>
#include <QUrl>

class QNetworkAccessManager;

// The one network access manager of the fetchers (created on first use, owned by the
// application) and the request form they share: no cached copy is ever used.
namespace NetworkAccess {
QNetworkAccessManager* Manager();
QNetworkRequest FreshRequest(const QUrl& url);
} // namespace NetworkAccess
