#include "platform/ui/messages.h"

#include <cstdio>

namespace ui {

namespace {

const char* KindWord(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return "warning: ";
    case MessageKind::Information:
      return "";
    case MessageKind::Error:
      return "error: ";
    case MessageKind::Plain:
      return "";
  }
  return "";
}

class StderrMessages : public Messages {
 public:
  void show(MessageKind kind, const std::string& text) override {
    std::fprintf(stderr, "%s%s\n", KindWord(kind), text.c_str());
  }
  // No one to ask: the cautious answer.
  bool confirm(const std::string& text) override {
    std::fprintf(stderr, "%s (answered No)\n", text.c_str());
    return false;
  }
  void setBusy(bool) override {}
  void processEvents() override {}
};

StderrMessages defaultMessages;
Messages* installed = &defaultMessages;

}  // namespace

Messages& current() { return *installed; }

void setCurrent(Messages* messages) { installed = messages ? messages : &defaultMessages; }

void ShowMessage(MessageKind kind, const std::string& text) { current().show(kind, text); }

bool Confirm(const std::string& text) { return current().confirm(text); }

void RecordingMessages::show(MessageKind kind, const std::string& text) {
  entries.push_back({kind, text, false});
}

bool RecordingMessages::confirm(const std::string& text) {
  entries.push_back({MessageKind::Plain, text, true});
  if (answers.empty()) return true;
  bool answer = answers.front();
  answers.pop_front();
  return answer;
}

void RecordingMessages::setBusy(bool busy) { busyChanges.push_back(busy); }

void RecordingMessages::processEvents() { ++eventRuns; }

}  // namespace ui
