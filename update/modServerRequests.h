#pragma once
#include <QString>

class clsUserData;

// The two small requests to the maker's host that go through the text fetcher: the user
// identifier and the statistics ping. Install() hands them to the stores that send them.
namespace modServerRequests {

// Asks `url` for a user identifier; the reply goes to the store's OnUserIDReply. The request
// lives with the store: a new request replaces a pending one, whose reply is then lost, and
// releasing the store drops it.
void RequestUserID(clsUserData* store, const QString& url);

// Requests a page once; nothing is read back.
void RequestPage(const QString& url);

// Makes the user data store and the data hub send their requests through these.
void Install();

} // namespace modServerRequests
