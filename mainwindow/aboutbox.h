#pragma once

#include <QDialog>

class QLineEdit;

namespace zarnex {

class AboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit AboutBox(QWidget* parent = nullptr);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void ApplyTheme();
    QLineEdit* contact_;  // selectable, so that the address can be copied
};

}  // namespace zarnex
