// Message boxes, the busy cursor and running pending window events, behind one
// small interface: the windows install the Qt implementation, the command line a
// terminal one, tests a recording one.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace ui {

enum class MessageKind { Warning, Information, Error, Plain };

class Messages {
 public:
  virtual ~Messages() = default;
  // A modal box with one OK button.
  virtual void show(MessageKind kind, const std::string& text) = 0;
  // A Yes/No confirmation; true for Yes.
  virtual bool confirm(const std::string& text) = 0;
  virtual void setBusy(bool busy) = 0;
  // Lets pending window events run (repaint, button clicks) inside long work.
  virtual void processEvents() = 0;
};

// The process-wide implementation; never null. Until one is installed, messages go
// to standard error, so nothing is lost.
Messages& current();
// Installs an implementation the caller keeps alive; nullptr restores the default.
void setCurrent(Messages* messages);

// Shorthands through current().
void ShowMessage(MessageKind kind, const std::string& text);
bool Confirm(const std::string& text);

// For tests: keeps every message, answers confirmations from a script (Yes when the
// script is empty).
class RecordingMessages : public Messages {
 public:
  struct Entry {
    MessageKind kind;
    std::string text;
    bool confirmation = false;
  };

  void show(MessageKind kind, const std::string& text) override;
  bool confirm(const std::string& text) override;
  void setBusy(bool busy) override;
  void processEvents() override;

  std::vector<Entry> entries;
  std::deque<bool> answers;
  std::vector<bool> busyChanges;
  int eventRuns = 0;
};

// Installs a Messages implementation for the lifetime of the guard.
class ScopedMessages {
 public:
  explicit ScopedMessages(Messages& m) : previous_(&current()) { setCurrent(&m); }
  ~ScopedMessages() { setCurrent(previous_); }
  ScopedMessages(const ScopedMessages&) = delete;
  ScopedMessages& operator=(const ScopedMessages&) = delete;

 private:
  Messages* previous_;
};

}  // namespace ui
