#include "mainwindow/aboutbox.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>

#include "mainwindow/fonts.h"
#include "platform/version.h"

namespace zarnex {

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("AboutBox");
    setWindowTitle(QString("Zarnex v") + ZarnexVersion + " - About");
    setFixedSize(181, 101);
    setFont(ClassicFont(11));  // 8 points at 96 dpi

    auto* Label1 = new QLabel("The Zarnex authors", this);
    Label1->setObjectName("Label1");
    Label1->move(60, 8);
    Label1->adjustSize();

    auto* Label2 = new QLabel("E-Mail:", this);
    Label2->setObjectName("Label2");
    Label2->move(28, 32);
    Label2->adjustSize();

    Edit1 = new QLineEdit("dev@zarnex.org", this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(64, 32, 97, 17);
    Edit1->setReadOnly(true);
    Edit1->setFrame(false);
    Edit1->setCursorPosition(0);

    auto* Label3 = new QLabel("Free software for modders", this);
    Label3->setObjectName("Label3");
    Label3->setGeometry(44, 64, 89, 25);
    Label3->setAlignment(Qt::AlignCenter);
    Label3->setWordWrap(true);
    ApplyTheme();
}

// The address reads like the labels, on the face colour, whatever the theme.
void AboutBox::ApplyTheme() {
    const QPalette theme = palette();
    QPalette face;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        face.setColor(group, QPalette::Base, theme.color(group, QPalette::Window));
        face.setColor(group, QPalette::Text, theme.color(group, QPalette::WindowText));
    }
    Edit1->setPalette(face);
}

void AboutBox::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::ApplicationPaletteChange) {
        ApplyTheme();
    }
}

}  // namespace zarnex
