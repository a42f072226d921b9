#include "cli/terminal.h"

#include <unistd.h>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

namespace zarnex {

namespace {

std::optional<Language>& ChosenLanguage() {
    static std::optional<Language> chosen;
    return chosen;
}

}  // namespace

Language TerminalLanguage() {
    std::optional<Language>& chosen = ChosenLanguage();
    if (!chosen) {
        chosen = LanguageFromEnvironment();
    }
    return *chosen;
}

void SetTerminalLanguage(Language language) {
    ChosenLanguage() = language;
}

std::string LineText(MessageId id, const std::string& name) {
    return Render({.id = id, .name = name}, TerminalLanguage()).text;
}

MessageAnswer TerminalMessageBoxes::Show(const Message& message) {
    // A script reads the summary's count alone: each missing name has had a line of its own.
    Message shown = message;
    if (shown.id == MessageId::ExtractSummary) {
        shown.names.clear();
    }
    const MessageBoxRequest request = Render(shown, language_);
    if (request.icon == MessageIcon::Information) {
        std::cout << request.text << std::endl;
        return MessageAnswer::Ok;
    }
    std::cerr << request.title << " (" << IconName(request.icon) << ")\n"
              << request.text << "\n"
              << std::endl;
    if (request.buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    return Ask(request);
}

MessageAnswer TerminalMessageBoxes::Ask(const MessageBoxRequest& request) {
    const bool cancellable = request.buttons == MessageButtons::YesNoCancel;
    if (policy_ == OverwritePolicy::Yes) {
        std::cerr << "-> yes (-o)" << std::endl;
        return MessageAnswer::Yes;
    }
    if (policy_ == OverwritePolicy::No) {
        std::cerr << "-> no (-n)" << std::endl;
        return MessageAnswer::No;
    }
    if (inputTaken_) {
        std::cerr << "-> no (standard input held the list; -o overwrites, -n skips)" << std::endl;
        return MessageAnswer::No;
    }
    if (!isatty(STDIN_FILENO)) {
        std::cerr << "-> no (no terminal to ask; -o overwrites, -n skips)" << std::endl;
        return MessageAnswer::No;
    }
    for (;;) {
        std::cerr << (cancellable ? "[y]es / [n]o / [c]ancel? " : "[y]es / [n]o? ") << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            return cancellable ? MessageAnswer::Cancel : MessageAnswer::No;
        }
        if (answer == "y" || answer == "Y" || answer == "yes") {
            return MessageAnswer::Yes;
        }
        if (answer == "n" || answer == "N" || answer == "no") {
            return MessageAnswer::No;
        }
        if (cancellable && (answer == "c" || answer == "C" || answer == "cancel")) {
            return MessageAnswer::Cancel;
        }
    }
}

TerminalProgress::TerminalProgress(int total) : total_(total), shown_(isatty(STDERR_FILENO)) {}

TerminalProgress::~TerminalProgress() {
    if (shown_) {
        std::fprintf(stderr, "\r\033[K");
    }
}

void TerminalProgress::Set(int position) {
    if (shown_) {
        std::fprintf(stderr, "\r%d of %d", position, total_);
        std::fflush(stderr);
    }
}

}  // namespace zarnex
