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

    auto* maker = new QLabel("The Zarnex authors", this);
    maker->setObjectName("maker");
    maker->move(60, 8);
    maker->adjustSize();

    auto* contactLabel = new QLabel("E-Mail:", this);
    contactLabel->setObjectName("contactLabel");
    contactLabel->move(28, 32);
    contactLabel->adjustSize();

    contact_ = new QLineEdit("dev@zarnex.org", this);
    contact_->setObjectName("contact");
    contact_->setGeometry(64, 32, 97, 17);
    contact_->setReadOnly(true);
    contact_->setFrame(false);
    contact_->setCursorPosition(0);

    auto* credit = new QLabel("Free software for modders", this);
    credit->setObjectName("credit");
    credit->setGeometry(44, 64, 89, 25);
    credit->setAlignment(Qt::AlignCenter);
    credit->setWordWrap(true);
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
    contact_->setPalette(face);
}

void AboutBox::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::ApplicationPaletteChange) {
        ApplyTheme();
    }
}

}  // namespace zarnex
