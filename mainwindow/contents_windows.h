// The open contents windows: one for each archive, however its path is written.
#pragma once

#include <QPointer>
#include <string>
#include <vector>

#include "mainwindow/contents.h"

namespace zarnex {

class ContentsWindows {
  public:
    explicit ContentsWindows(ContentsHost host) : host_(std::move(host)) {}
    ~ContentsWindows();  // the windows use what the host points to
    ContentsWindows(const ContentsWindows&) = delete;
    ContentsWindows& operator=(const ContentsWindows&) = delete;

    // The archive's window, shown and raised: made on first use, else loaded afresh.
    ContentsWindow* Open(const std::string& archivePath, const ContentsLayout& layout);
    ContentsWindow* Of(const std::string& archivePath) const;
    void CloseAll();

  private:
    ContentsHost host_;
    std::vector<QPointer<ContentsWindow>> windows_;
};

}  // namespace zarnex
