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
    QLineEdit* Edit1;
};

}  // namespace zarnex
