#pragma once

#include "catalogue/update_check.h"

#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>
#include <set>

class QLabel;
class QProgressBar;
class QPushButton;

namespace zp {

struct AppState;
class FlexGrid;
class MainFrame;

// Check for Updates: asks every hack's update address whether a newer version is out, one row per
// hack with its verdict as it comes, a progress bar and Cancel. "Download and Import" fetches the
// newer file of the selected row and hands it to the ordinary import.
class frmCheckUpdates : public QWidget
{
    Q_OBJECT

public:
    // The check reaches the network through `fetcher` (Qt Network when none is given).
    explicit frmCheckUpdates(MainFrame& main, std::unique_ptr<UrlFetcher> fetcher = nullptr, QWidget* parent = nullptr);
    ~frmCheckUpdates() override;

    // Sets the size, centres the window and starts the check of every hack.
    void Load();
    bool IsBusy() const;

    // The largest file downloaded without asking first.
    static constexpr qint64 DownloadCap = qint64(64) << 20;

    FlexGrid* fgUpdates;
    QProgressBar* prgCheck;
    QLabel* lblStatus;
    QPushButton* cmdDownload;
    QPushButton* cmdCancel;
    QPushButton* cmdClose;

    // How a downloaded hack file is imported: the main window's import of a downloaded file, which
    // returns the number of the hack stored, 0 when none was.
    std::function<int(const QString& file)> ImportFile;

private:
    void ShowResult(int index);
    void CheckFinished();
    void DownloadSelected();
    void DownloadFinished(int index, const QString& file, const QString& failure);
    void ImportDownload(int index, const QString& file);
    void Cancel();
    void UpdateButtons();
    void FitColumns();

    AppState& state_;
    std::unique_ptr<UrlFetcher> fetcher_;
    std::unique_ptr<UpdateCheck> check_;
    std::function<void()> cancelDownload_;
    std::unique_ptr<QTemporaryDir> downloads_;
    std::set<int> imported_; // the rows (results' indexes) whose newer version has been imported
};

// Shows the single Check for Updates window and starts its check.
frmCheckUpdates& ShowCheckUpdates(MainFrame& main);

} // namespace zp
