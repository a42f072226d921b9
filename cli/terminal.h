// Message boxes answered on the terminal.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/messages.h"

namespace zarnex {

// The program's arguments after its name, in UTF-8: on Windows read from the UTF-16 command
// line, whatever the code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// On Windows: what the program prints reaches a console as UTF-16 (WriteConsoleW), whatever its
// code page, and a file or pipe as UTF-8 bytes. Elsewhere nothing to do.
void PrepareConsole();
// A terminal (a console) that a person reads or types at, not a file, pipe or device.
bool IsTerminal(int descriptor);

enum class OverwritePolicy { Ask, Yes, No };

// The language of everything the command line says: from the environment, or from --lang.
Language TerminalLanguage();
void SetTerminalLanguage(Language language);
// A line of the command line's own, such as "added NAME", in that language.
std::string LineText(MessageId id, const std::string& name);
// Any of the command line's words in that language.
std::string Words(const Message& message);
std::string Words(MessageId id);

// Clears the progress line when one is shown, so that what follows starts a line of its own.
void ClearProgressLine();

class TerminalMessageBoxes : public MessageBoxes {
  public:
    // `inputTaken`: standard input held a list, so it cannot answer questions.
    explicit TerminalMessageBoxes(OverwritePolicy policy, bool inputTaken = false,
                                  Language language = TerminalLanguage())
        : policy_(policy), inputTaken_(inputTaken), language_(language) {}
    MessageAnswer Show(const Message& message) override;

  private:
    MessageAnswer Ask(const MessageBoxRequest& request);
    // The command line's words in the boxes' language.
    std::string Said(MessageId id) const;

    OverwritePolicy policy_;
    bool inputTaken_;
    Language language_;
};

// "n of m" on standard error, only when it is a terminal. Anything else the program prints clears
// it first, and the next step shows it again.
class TerminalProgress {
  public:
    explicit TerminalProgress(int total);
    ~TerminalProgress();
    void Set(int position);

  private:
    int total_;
    bool shown_;
};

// A progress bar for a batch whose total only it knows: the bar appears with the first report.
class LateProgress {
  public:
    explicit LateProgress(bool wanted) : wanted_(wanted) {}
    void operator()(int done, int total);
    void End() { bar_.reset(); }

  private:
    bool wanted_;
    std::optional<TerminalProgress> bar_;
};

}  // namespace zarnex
