#include "mainwindow/settings.h"

#include <QString>

#include "mainwindow/identity.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/places.h"

namespace zarnex {

std::string SettingsFilePath(const std::string& executableDir) {
    if (FolderWritable(executableDir) && !InstalledCopy(executableDir, AppId)) {
        return JoinPath(executableDir, "zarnex.ini");
    }
    return JoinPath(UserSettingsFolder(), "zarnex.ini");
}

std::vector<std::string> SplitSettingsLines(const std::string& text) {
    const std::string body = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

std::string JoinSettingsLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::string InitialDirFrom(const std::string& folder) {
    if (folder.size() > 1 && folder.back() == '/') {
        return folder.substr(0, folder.size() - 1);
    }
    return folder;
}

std::string CommandLineArchivePath(const std::string& startupArgument) {
    const QString text = QString::fromStdString(startupArgument);
    const qsizetype quote = text.left(261).indexOf('"');
    if (quote < 0) {
        return {};
    }
    qsizetype close = text.indexOf('"', quote + 1);
    if (close < 0) {
        close = text.size();
    }
    const std::string path = text.mid(quote + 1, close - quote - 1).toStdString();
    if (QString::fromStdString(ExtensionPart(path)).toUpper() != ".IMG") {
        return {};
    }
    return path;
}

std::string MakeStartupArgument(const std::vector<std::string>& arguments) {
    std::string text;
    for (const auto& argument : arguments) {
        if (!text.empty()) {
            text += ' ';
        }
        text += '"' + argument + '"';
    }
    return text;
}

std::optional<Language> TakeLanguageOption(std::vector<std::string>& arguments, std::string& bad) {
    std::optional<Language> language;
    for (size_t i = 0; i < arguments.size();) {
        std::string value;
        size_t taken = 0;
        if (arguments[i] == "--lang" && i + 1 < arguments.size()) {
            value = arguments[i + 1];
            taken = 2;
        } else if (arguments[i].starts_with("--lang=")) {
            value = arguments[i].substr(7);
            taken = 1;
        }
        if (taken == 0) {
            ++i;
            continue;
        }
        if (const auto parsed = ParseLanguage(value)) {
            language = parsed;
        } else {
            bad = value;
        }
        arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                        arguments.begin() + static_cast<std::ptrdiff_t>(i + taken));
    }
    return language;
}

}  // namespace zarnex
