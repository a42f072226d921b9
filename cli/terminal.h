// Message boxes answered on the terminal.
#pragma once

#include "platform/messagebox.h"

namespace zarnex {

enum class OverwritePolicy { Ask, Yes, No };

class TerminalMessageBoxes : public MessageBoxes {
  public:
    // `inputTaken`: standard input held a list, so it cannot answer questions.
    explicit TerminalMessageBoxes(OverwritePolicy policy, bool inputTaken = false)
        : policy_(policy), inputTaken_(inputTaken) {}
    MessageAnswer Show(const MessageBoxRequest& request) override;

  private:
    MessageAnswer Ask(const MessageBoxRequest& request);

    OverwritePolicy policy_;
    bool inputTaken_;
};

// "n of m" on standard error, only when it is a terminal.
class TerminalProgress {
  public:
    explicit TerminalProgress(int total);
    ~TerminalProgress();
    void Set(int position);

  private:
    int total_;
    bool shown_;
};

}  // namespace zarnex
