// The desktop implementation of ui::Messages: Qt message boxes over the active
// window, an override cursor for busy work, and QCoreApplication::processEvents.
#pragma once

#include "platform/ui/messages.h"

namespace ui {

class QtMessages : public Messages {
 public:
  void show(MessageKind kind, const std::string& text) override;
  // Yes and No, No being the default button so Enter never confirms by accident.
  bool confirm(const std::string& text) override;
  // Not nested, like a screen cursor: busy(false) restores the normal cursor however
  // often busy(true) came before.
  void setBusy(bool busy) override;
  void processEvents() override;

 private:
  bool busy_ = false;
};

}  // namespace ui
