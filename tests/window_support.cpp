#include "tests/window_support.h"

#include <QDropEvent>
#include <QImage>
#include <filesystem>

#include "mainwindow/theme.h"

namespace zarnex::test {

QStringList ScriptedDialogs::OpenFiles(QWidget*, const OpenDialogRequest& request) {
    requests.push_back(request);
    if (files.empty()) {
        return {};
    }
    QStringList answer = files.front();
    files.pop_front();
    return answer;
}

QString ScriptedDialogs::ChooseFolder(QWidget*, const QString& instruction, const QString& start) {
    instructions << instruction;
    starts << start;
    if (folders.empty()) {
        return {};
    }
    QString answer = folders.front();
    folders.pop_front();
    return answer;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteBytes(path, bytes);
}

EventProbe::EventProbe(QObject* target, std::function<void(QEvent*)> seen)
    : seen_(std::move(seen)) {
    target->installEventFilter(this);
}

bool EventProbe::eventFilter(QObject*, QEvent* event) {
    seen_(event);
    return false;
}

void IsolateConfiguration(const TempDir& home) {
    qputenv(SettingsHomeVariable, QByteArray::fromStdString(home / "config"));
}

Harness::Harness(const std::string& startupArgument, bool show) {
    Form1Services services;
    services.boxes = &boxes;
    services.dialogs = &dialogs;
    services.executableDir = temp.path();
    services.eventInterval = {};  // at every file, so that tests see each step
    services.startupArgument = startupArgument;
    form = std::make_unique<Form1>(services);
    if (show) {
        form->show();
    }
}

std::string Harness::File(const std::string& name, size_t size) {
    WriteFile(Path(name), Pattern(size, static_cast<unsigned>(size)));
    return Path(name);
}

void Harness::Drop(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths) {
        urls << QUrl::fromLocalFile(p);
    }
    data->setUrls(urls);
    // Without a drag in progress the application would not pass a drop on.
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(form.get())->event(&enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(form.get())->event(&drop);
    delete data;
}

void Harness::Add(const QStringList& paths) {
    dialogs.files.push_back(paths);
    Click("ButtonAdd");
}

QStringList Harness::Captions() const {
    QStringList out;
    for (int i = 0; i < form->RowCount(); ++i) {
        out << QString::fromStdString(form->Row(i).caption);
    }
    return out;
}

QString Harness::Buttons() const {
    QString s;
    for (const char* name : {"ButtonExtract", "ButtonReplace", "ButtonAdd", "ButtonDelete"}) {
        s += Button(name)->isEnabled() ? '1' : '0';
    }
    return s;
}

QPalette AdwaitaDark() {
    QPalette p;
    const std::vector<std::pair<QPalette::ColorRole, const char*>> roles = {
        {QPalette::Window, "#323232"},     {QPalette::WindowText, "#f0f0f0"},
        {QPalette::Base, "#242424"},       {QPalette::AlternateBase, "#2b2b2b"},
        {QPalette::Text, "#f0f0f0"},       {QPalette::Button, "#323232"},
        {QPalette::ButtonText, "#f0f0f0"}, {QPalette::Light, "#4b4b4b"},
        {QPalette::Midlight, "#2a2a2a"},   {QPalette::Mid, "#262626"},
        {QPalette::Dark, "#212121"},       {QPalette::Shadow, "#191919"},
        {QPalette::Highlight, "#308cc6"},  {QPalette::HighlightedText, "#f0f0f0"}};
    for (const auto& [role, color] : roles) {
        p.setColor(role, QColor(color));
    }
    return p;
}

std::pair<double, QColor> TextContrast(QWidget* widget,
                                       const std::function<void(QString)>& setText) {
    setText({});
    const QImage bare = widget->grab().toImage();
    setText(QString(6, QChar(0x2588)));
    const QImage text = widget->grab().toImage();
    std::pair<double, QColor> best{1.0, {}};
    for (int y = 0; y < bare.height(); ++y) {
        for (int x = 0; x < bare.width(); ++x) {
            const QColor before = bare.pixelColor(x, y);
            const QColor after = text.pixelColor(x, y);
            if (before != after && ContrastRatio(before, after) > best.first) {
                best = {ContrastRatio(before, after), after};
            }
        }
    }
    return best;
}

}  // namespace zarnex::test
