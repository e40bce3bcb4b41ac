#include "web/InnerPages.h"

// The engine learns the internal pages' scheme only before it starts; a test that makes a page
// of its own first would otherwise start it without.
static const bool kSchemeRegistered = (InnerPages::RegisterScheme(), true);
