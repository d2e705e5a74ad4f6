#include "platform/ado/provider.h"

namespace ado {

// Replaced by the ODBC and libmdb providers.
std::unique_ptr<Session> OpenProviderSession(const std::string&) {
  throw DatabaseError("Provider cannot be found. It may not be properly installed.");
}

}  // namespace ado
