// Modal message boxes.
//
// With a display, an SDL message box is shown and the call returns when the
// user closes it. Without one (or with VORTANE_MESSAGES=stderr in the
// environment) the caption and text go to standard error and the call
// returns at once with the default answer. Tests install a handler (see
// MessageBoxRecorder) that records each call and answers for the user.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Icon kinds, valued like the Windows MB_ICON* flags the engine names.
enum class MsgIcon : unsigned { Error = 0x10, Question = 0x20, Warning = 0x30, Information = 0x40 };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

struct MessageBoxCall {
  std::string Caption;
  std::string Text;
  MsgIcon Icon;
  MsgButtons Buttons;
};

using MessageBoxHandler = std::function<MsgAnswer(const MessageBoxCall&)>;

// Shows the box and returns the answer (Ok for an Ok box).
MsgAnswer ShowMessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons = MsgButtons::Ok);

// Replaces the way boxes are shown; an empty handler restores the default.
void SetMessageBoxHandler(MessageBoxHandler handler);

// Shows the box the default way, whatever handler is installed (a handler
// that passes some boxes on uses it).
MsgAnswer ShowDefaultMessageBox(const MessageBoxCall& call);

// Installs itself as the handler for its lifetime and records every box.
class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(MsgAnswer answerForYesNo = MsgAnswer::Yes);
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  const std::vector<MessageBoxCall>& Calls() const { return calls_; }
  void Clear() { calls_.clear(); }
  void SetYesNoAnswer(MsgAnswer answer) { answer_ = answer; }

 private:
  std::vector<MessageBoxCall> calls_;
  MsgAnswer answer_;
};

}  // namespace platform
