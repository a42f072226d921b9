// Message boxes answered on the terminal.
#pragma once

#include "platform/messagebox.h"

namespace zarnex {

enum class OverwritePolicy { Ask, Yes, No };

class TerminalMessageBoxes : public MessageBoxes {
  public:
    explicit TerminalMessageBoxes(OverwritePolicy policy) : policy_(policy) {}
    MessageAnswer Show(const MessageBoxRequest& request) override;

    // Was any box of the error or warning kind shown?
    bool troubled() const { return troubled_; }

  private:
    MessageAnswer Ask(const MessageBoxRequest& request);

    OverwritePolicy policy_;
    bool troubled_ = false;
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
