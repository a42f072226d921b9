#include "mainwindow/settings_file.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <algorithm>
#include <sstream>

#include "mainwindow/settings.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace zarnex {

ContentsLayout ParseContentsLayout(const std::string& line) {
    std::istringstream in(line);
    ContentsLayout layout;
    std::vector<int> numbers;
    int n = 0;
    while (in >> n) {
        numbers.push_back(n);
    }
    const size_t columns = layout.columns.size();
    const bool sane =
        in.eof() && (numbers.size() == 2 + columns || numbers.size() == 1 + columns) &&
        std::all_of(numbers.begin(), numbers.end(), [](int v) { return v >= 8 && v <= 20000; });
    if (!sane) {
        return {};
    }
    layout.width = numbers[0];
    layout.height = numbers[1];
    std::copy(numbers.begin() + 2, numbers.end(), layout.columns.end() - (numbers.size() - 2));
    return layout;
}

std::string FormatContentsLayout(const ContentsLayout& layout) {
    std::string line = std::to_string(layout.width) + " " + std::to_string(layout.height);
    for (int width : layout.columns) {
        line += " " + std::to_string(width);
    }
    return line;
}

Settings LoadSettings(const std::string& path, MessageBoxes& boxes, bool& complete) {
    Settings settings;
    complete = false;
    if (!FileExists(path)) {
        complete = true;
        return settings;
    }
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        boxes.Show({.id = MessageId::SettingsOpenFailed, .path = path});
        return settings;
    }
    const std::vector<std::string> lines = SplitSettingsLines(file.readAll().toStdString());
    std::string* const fields[] = {&settings.archivePath, &settings.addFolder,
                                   &settings.extractFolder};
    for (size_t i = 0; i < std::size(fields); ++i) {
        if (i >= lines.size()) {
            boxes.Show({.id = MessageId::SettingsLineMissing, .index = static_cast<int64_t>(i)});
            return settings;
        }
        *fields[i] = &settings.addFolder == fields[i] ? InitialDirFrom(lines[i]) : lines[i];
    }
    if (lines.size() > 3) {
        settings.contents = ParseContentsLayout(lines[3]);
    }
    complete = true;
    return settings;
}

bool SaveSettings(const std::string& path, const Settings& settings, MessageBoxes& boxes) {
    std::vector<std::string> lines = {settings.archivePath, settings.addFolder,
                                      settings.extractFolder};
    if (settings.contents) {
        lines.push_back(FormatContentsLayout(*settings.contents));
    }
    QSaveFile file(QString::fromStdString(path));
    if (!QDir().mkpath(QString::fromStdString(FolderPart(path))) ||
        !file.open(QIODevice::WriteOnly)) {
        boxes.Show({.id = MessageId::SettingsCreateFailed, .path = path});
        return false;
    }
    const std::string text = JoinSettingsLines(lines);
    if (file.write(text.data(), static_cast<qint64>(text.size())) !=
        static_cast<qint64>(text.size())) {
        file.cancelWriting();
        boxes.Show({.id = MessageId::SettingsWriteFailed});
        return false;
    }
    if (!file.commit()) {
        boxes.Show(file.error() == QFileDevice::RenameError
                       ? Message{.id = MessageId::SettingsCreateFailed, .path = path}
                       : Message{.id = MessageId::SettingsWriteFailed});
        return false;
    }
    return true;
}

}  // namespace zarnex
