// What both windows share while they tell, ask and work: boxes after which the window paints at
// once, a progress bar that lets the window paint at most once an interval, and the question of
// where extracted files go.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <chrono>
#include <functional>
#include <set>
#include <string>

#include "archive/batch.h"
#include "archive/messages.h"

class QProgressBar;
class QWidget;

namespace zarnex {

class Dialogs;

QString WordIn(Word word, Language language);

// A box or dialog just closed over the window: paint all of it now, not after the batch.
void RepaintNow(QWidget& window);

// Every box of a window goes through here, so that the window repaints as soon as it closes.
class LiveBoxes : public MessageBoxes {
  public:
    LiveBoxes(MessageBoxes& boxes, QWidget& window) : boxes_(boxes), window_(window) {}
    MessageAnswer Show(const Message& message) override;

  private:
    MessageBoxes& boxes_;
    QWidget& window_;
};

// Messages that a window says its own way (in its status line, or not at all) instead of in a
// box; the others go on to `boxes`.
class QuietBoxes : public MessageBoxes {
  public:
    QuietBoxes(MessageBoxes& boxes, std::set<MessageId> quiet,
               std::function<void(const Message&)> told = {})
        : boxes_(boxes), quiet_(std::move(quiet)), told_(std::move(told)) {}
    MessageAnswer Show(const Message& message) override;

  private:
    MessageBoxes& boxes_;
    std::set<MessageId> quiet_;
    std::function<void(const Message&)> told_;
};

// A batch's progress bar, done of total. The batch runs on the window's thread, so only here does
// the window paint and answer the desktop; user input waits until the batch ends, so that no
// click lands in the middle of one. Thousands of small files would each cost a paint, many times
// the copy itself, so reports that follow within an interval share one.
class BatchProgress {
  public:
    BatchProgress(QProgressBar& bar, std::chrono::milliseconds interval)
        : bar_(bar), interval_(interval) {}
    void Start(int total);
    void Set(int done, int total);
    // For a batch to report to.
    Progress Reporter() {
        return [this](int done, int total) { Set(done, total); };
    }
    void Finish();  // empty again, ready for the next batch

  private:
    QProgressBar& bar_;
    std::chrono::milliseconds interval_;
    QElapsedTimer sinceEvents_;
};

// The folder that extracted files go to. The browser starts at `lastFolder`, forgotten first when
// it is no folder any more; the choice becomes `lastFolder`. Empty when cancelled.
std::string ChooseExtractFolder(Dialogs& dialogs, QWidget& parent, Language language,
                                std::string& lastFolder);

}  // namespace zarnex
