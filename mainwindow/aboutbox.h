#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace zarnex {

class AboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit AboutBox(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Edit1;
    QLabel* Label3;
};

}  // namespace zarnex
