// TMySQLDirect: the driver over the built-in protocol client (the default driver).
// A connection handle is a TMySQLDirectClient, a result handle a streamed
// TMySQLDirectResult; nothing is loaded from outside the program.
#pragma once

#include "mysql/driver/driver.h"

namespace mysql {

class TMySQLDirect : public TMySQLBase {
 public:
  using TMySQLBase::TMySQLBase;
  ~TMySQLDirect() override;

  // The client version text the direct driver reports.
  static constexpr const char* kClientInfo = "4.1.14";

 protected:
  void InitFunctions() override;
};

}  // namespace mysql
