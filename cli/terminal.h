// Message boxes answered on the terminal.
#pragma once

#include "archive/messages.h"

namespace zarnex {

enum class OverwritePolicy { Ask, Yes, No };

class TerminalMessageBoxes : public MessageBoxes {
  public:
    // `inputTaken`: standard input held a list, so it cannot answer questions.
    explicit TerminalMessageBoxes(OverwritePolicy policy, bool inputTaken = false,
                                  Language language = LanguageFromEnvironment())
        : policy_(policy), inputTaken_(inputTaken), language_(language) {}
    MessageAnswer Show(const Message& message) override;

  private:
    MessageAnswer Ask(const MessageBoxRequest& request);

    OverwritePolicy policy_;
    bool inputTaken_;
    Language language_;
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
