#pragma once

#include <QDialog>

namespace zarnex {

class AboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace zarnex
