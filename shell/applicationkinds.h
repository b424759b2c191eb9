#pragma once

#include "applinks/sessionrouter.h"

// The one place where each kind of server application is matched with what serves it on the
// desktop. A new kind is a folder of its own and one entry here.
SessionFactories applicationKinds();
