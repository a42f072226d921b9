// The contents window's table: which rows are chosen, kept by name across reloads, sorts and
// filters.
#pragma once

#include <QHeaderView>
#include <QSet>
#include <QString>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

#include "mainwindow/contents_model.h"

class QMimeData;

namespace zarnex {

class ContentsView : public QTableView {
  public:
    QHeaderView* header() const { return horizontalHeader(); }
    explicit ContentsView(ContentsModel& model, QWidget* parent);

    // What is chosen and seen, by the rows' keys.
    struct State {
        QSet<QString> selected;
        QString current;
        QString top;
    };
    State Save() const;
    // The same rows chosen where their names remain. With `currentInView` the current row is
    // scrolled into view, else the top row stays on top.
    void Restore(const State& state, bool currentInView = false);
    // The row a user expects chosen once `rows` are gone: the first below them, else the last
    // above them; empty when there is none.
    QString KeyBeside(const std::vector<int>& rows) const;
    // That row chosen and current, when nothing is chosen.
    void ChooseKey(const QString& key);

    bool Editing() const { return state() == EditingState; }
    std::vector<int> SelectedRows() const;           // visible rows, in view order
    std::vector<std::string> SelectedNames() const;  // each name once

    std::function<QMimeData*()> makeDragData;

  protected:
    void startDrag(Qt::DropActions supportedActions) override;

  private:
    ContentsModel& model_;
};

}  // namespace zarnex
