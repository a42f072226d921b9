#include "cli/terminal.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include "platform/wide.h"
#else
#include <unistd.h>
#endif

namespace zarnex {

namespace {

std::optional<Language>& ChosenLanguage() {
    static std::optional<Language> chosen;
    return chosen;
}

// A progress line stands on the terminal, its cursor at its end.
bool& ProgressShown() {
    static bool shown = false;
    return shown;
}

#ifdef _WIN32
// A standard stream of the program: UTF-8 text written to a console as UTF-16 in whole
// characters, to anything else as it stands.
class ConsoleBuffer final : public std::streambuf {
  public:
    explicit ConsoleBuffer(DWORD stream) : handle_(::GetStdHandle(stream)) {
        DWORD mode = 0;
        console_ = ::GetConsoleMode(handle_, &mode);
    }

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            const char byte = traits_type::to_char_type(c);
            xsputn(&byte, 1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* text, std::streamsize n) override {
        pending_.append(text, static_cast<size_t>(n));
        // A line at a time, so that what a script or a person reads is never held back.
        if (pending_.find('\n') != std::string::npos && !Flush()) {
            return 0;
        }
        return n;
    }

    int sync() override { return Flush() ? 0 : -1; }

  private:
    bool Flush() {
        if (!console_) {
            DWORD written = 0;
            const bool done = pending_.empty() ||
                              ::WriteFile(handle_, pending_.data(),
                                          static_cast<DWORD>(pending_.size()), &written, nullptr);
            pending_.clear();
            return done;
        }
        // A character cut between two writes waits for its other bytes.
        size_t whole = pending_.size();
        size_t back = 0;
        while (back < 3 && back < whole &&
               (static_cast<unsigned char>(pending_[whole - 1 - back]) & 0xC0) == 0x80) {
            ++back;
        }
        if (back < whole) {
            const auto lead = static_cast<unsigned char>(pending_[whole - 1 - back]);
            const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (length > back + 1) {
                whole -= back + 1;
            }
        }
        std::wstring wide;
        if (!Utf8ToWide(std::string_view(pending_).substr(0, whole), wide)) {
            // Not UTF-8 after all: shown as the code page has it rather than lost.
            wide.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(whole));
        }
        pending_.erase(0, whole);
        for (size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            if (!::WriteConsoleW(handle_, wide.data() + done,
                                 static_cast<DWORD>(std::min<size_t>(wide.size() - done, 16384)),
                                 &written, nullptr) ||
                written == 0) {
                return false;
            }
            done += written;
        }
        return true;
    }

    HANDLE handle_;
    bool console_ = false;
    std::string pending_;
};
#endif

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i) {
        arguments.push_back(WideToUtf8(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
#else
    return {argv + std::min(argc, 1), argv + argc};
#endif
}

void PrepareConsole() {
#ifdef _WIN32
    std::cout.flush();
    std::cerr.flush();
    // Never freed: the streams are flushed at the very end of the program.
    std::cout.rdbuf(new ConsoleBuffer(STD_OUTPUT_HANDLE));
    std::cerr.rdbuf(new ConsoleBuffer(STD_ERROR_HANDLE));
    // The progress line clears itself with a terminal's control sequence.
    DWORD mode = 0;
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    if (::GetConsoleMode(error, &mode)) {
        ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
#endif
}

bool IsTerminal(int descriptor) {
#ifdef _WIN32
    // _isatty is true for NUL as well: only a console answers GetConsoleMode.
    DWORD mode = 0;
    return ::GetConsoleMode(reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor)), &mode);
#else
    return ::isatty(descriptor);
#endif
}

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

std::string Words(const Message& message) {
    return Render(message, TerminalLanguage()).text;
}

std::string Words(MessageId id) {
    return Words(Message{.id = id});
}

MessageAnswer TerminalMessageBoxes::Show(const Message& message) {
    ClearProgressLine();
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
    const MessageId kind = request.icon == MessageIcon::Error      ? MessageId::BoxKindError
                           : request.icon == MessageIcon::Warning  ? MessageId::BoxKindWarning
                           : request.icon == MessageIcon::Question ? MessageId::BoxKindQuestion
                                                                   : MessageId::BoxKindMessage;
    std::cerr << request.title << " (" << Said(kind) << ")\n" << request.text << "\n" << std::endl;
    if (request.buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    return Ask(request);
}

std::string TerminalMessageBoxes::Said(MessageId id) const {
    return Render({.id = id}, language_).text;
}

MessageAnswer TerminalMessageBoxes::Ask(const MessageBoxRequest& request) {
    const bool toAll = request.buttons == MessageButtons::YesNoToAllCancel;
    const bool cancellable = toAll || request.buttons == MessageButtons::YesNoCancel;
    if (policy_ == OverwritePolicy::Yes) {
        std::cerr << Said(MessageId::AnsweredByOverwrite) << std::endl;
        return MessageAnswer::Yes;
    }
    if (policy_ == OverwritePolicy::No) {
        std::cerr << Said(MessageId::AnsweredByNoOverwrite) << std::endl;
        return MessageAnswer::No;
    }
    if (inputTaken_) {
        std::cerr << Said(MessageId::AnsweredInputTaken) << std::endl;
        return MessageAnswer::No;
    }
    if (!IsTerminal(0)) {
        std::cerr << Said(MessageId::AnsweredNoTerminal) << std::endl;
        return MessageAnswer::No;
    }
    for (;;) {
        std::cerr << Said(toAll         ? MessageId::AskToAllCancel
                          : cancellable ? MessageId::AskYesNoCancel
                                        : MessageId::AskYesNo)
                  << std::flush;
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
        if (toAll && (answer == "a" || answer == "A" || answer == "all")) {
            return MessageAnswer::YesToAll;
        }
        if (toAll && (answer == "s" || answer == "S" || answer == "skip all")) {
            return MessageAnswer::NoToAll;
        }
    }
}

TerminalProgress::TerminalProgress(int total) : total_(total), shown_(IsTerminal(2)) {}

TerminalProgress::~TerminalProgress() {
    ClearProgressLine();
}

void TerminalProgress::Set(int position) {
    if (shown_) {
        std::cerr << "\r"
                  << Words({.id = MessageId::ProgressLine, .count = total_, .index = position})
                  << std::flush;
        ProgressShown() = true;
    }
}

void ClearProgressLine() {
    if (ProgressShown()) {
        std::cerr << "\r\033[K" << std::flush;
        ProgressShown() = false;
    }
}

void LateProgress::operator()(int done, int total) {
    if (wanted_) {
        if (!bar_) {
            bar_.emplace(total);
        }
        bar_->Set(done);
    }
}

}  // namespace zarnex
