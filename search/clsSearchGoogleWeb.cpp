#include "search/clsSearchGoogleWeb.h"

void clsSearchGoogleWeb::Submit() {
    modSearchQuery::SubmitWebQuery(modSearchQuery::SearchEngines(), QStringLiteral("google"),
                                   modSearchQuery::GoogleWebQuery(*this));
}
