// Picks and opens the provider named by a connection string's Provider value.
#pragma once

#include <memory>
#include <string>

#include "platform/ado/connection.h"

namespace ado {

// Throws DatabaseError naming the cause: an unknown provider, or the provider's own
// message when it cannot open.
std::unique_ptr<Session> OpenProviderSession(const std::string& connectionString);

}  // namespace ado
