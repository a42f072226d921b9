// Message boxes answered on the terminal.
#pragma once

#include <string>

#include "archive/messages.h"

namespace zarnex {

enum class OverwritePolicy { Ask, Yes, No };

// The language of everything the command line says: from the environment, or from --lang.
Language TerminalLanguage();
void SetTerminalLanguage(Language language);
// A line of the command line's own, such as "added NAME", in that language.
std::string LineText(MessageId id, const std::string& name);

class TerminalMessageBoxes : public MessageBoxes {
  public:
    // `inputTaken`: standard input held a list, so it cannot answer questions.
    explicit TerminalMessageBoxes(OverwritePolicy policy, bool inputTaken = false,
                                  Language language = TerminalLanguage())
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
