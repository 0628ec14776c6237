#include "catalogue/frm_check_updates.h"

#include "app/app_state.h"
#include "app/dialogs.h"
#include "catalogue/network_fetcher.h"
#include "widgets/flex_grid.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace zp {

namespace {

constexpr int WidthTwips = 10050;
constexpr int HeightTwips = 6000;
constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment Right = Qt::AlignRight | Qt::AlignVCenter;
constexpr int VersionColumn = 1;
constexpr int UpdateColumn = 2;
constexpr int SizeColumn = 3;

} // namespace

frmCheckUpdates::frmCheckUpdates(MainFrame& main, std::unique_ptr<UrlFetcher> fetcher, QWidget* parent)
    : QWidget(parent)
    , fgUpdates(new FlexGrid({{tr("Hack Name"), 2715, Left},
                              {tr("Version"), 900, Right},
                              {tr("Update"), 3600, Left},
                              {tr("Size"), 1200, Right}},
                             this))
    , prgCheck(new QProgressBar(this))
    , lblStatus(new QLabel(this))
    , cmdDownload(new QPushButton(tr("&Download and Import"), this))
    , cmdCancel(new QPushButton(tr("&Cancel"), this))
    , cmdClose(new QPushButton(tr("C&lose"), this))
    , ImportFile([&main](const QString& file) { return main.ImportDownloadedFile(file); })
    , state_(main.State())
    , fetcher_(fetcher ? std::move(fetcher) : std::make_unique<NetworkFetcher>())
{
    setWindowTitle(tr("Check for Updates"));
    cmdDownload->setToolTip(tr("Download the newer version of the selected hack and import it"));
    for (QPushButton* button : {cmdDownload, cmdCancel, cmdClose})
        button->setAutoDefault(false);
    cmdDownload->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prgCheck, 1);
    buttons->addWidget(cmdDownload);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fgUpdates, 1);
    layout->addWidget(lblStatus);
    layout->addLayout(buttons);
    lblStatus->setWordWrap(true);
    setMinimumSize(minimumSizeHint().expandedTo(QSize(TwipsToPixels(6000, this), TwipsToPixels(3600, this))));

    connect(fgUpdates, &FlexGrid::RowChanged, this, &frmCheckUpdates::UpdateButtons);
    connect(fgUpdates, &FlexGrid::RowDoubleClicked, this, [this] {
        if (cmdDownload->isEnabled())
            DownloadSelected();
    });
    connect(cmdDownload, &QPushButton::clicked, this, &frmCheckUpdates::DownloadSelected);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCheckUpdates::Cancel);
    connect(cmdClose, &QPushButton::clicked, this, [this] { CloseWindow(this); });
    // Escape stops what is under way, else closes the window.
    auto* escape = new QAction(this);
    escape->setShortcut(QKeySequence::Cancel);
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QAction::triggered, this, [this] {
        if (IsBusy())
            Cancel();
        else
            CloseWindow(this);
    });
    addAction(escape);
}

frmCheckUpdates::~frmCheckUpdates()
{
    if (cancelDownload_)
        cancelDownload_();
}

void frmCheckUpdates::Load()
{
    ResizeInTwips(WindowFrame(this), WidthTwips, HeightTwips);
    CenterInParent(this);
    RunGuarded(state_.dialogs, windowTitle(), [this] {
        check_ = std::make_unique<UpdateCheck>(*fetcher_, UpdateCandidates(state_));
    });
    if (!check_)
        return;
    const std::vector<UpdateResult>& results = check_->Results();
    QList<QStringList> rows;
    for (const UpdateResult& result : results)
        rows.append({result.hack.Name, result.hack.Version, tr("checking..."), QString()});
    fgUpdates->SetItems(rows);
    fgUpdates->FitColumns();
    prgCheck->setRange(0, int(results.size()));
    prgCheck->setValue(0);
    lblStatus->setText(tr("Asking the update address of each hack..."));
    check_->onChecked = [this](int index) { ShowResult(index); };
    check_->onFinished = [this] { CheckFinished(); };
    fgUpdates->SetRow(1);
    fgUpdates->setFocus();
    check_->Start();
    UpdateButtons();
}

void frmCheckUpdates::FitColumns()
{
    // Each verdict widens its column where the window has room; a longer one is cut short, and its
    // tooltip shows it whole.
    fgUpdates->FitColumns(fgUpdates->viewport()->width());
}

bool frmCheckUpdates::IsBusy() const
{
    return (check_ && check_->IsRunning()) || cancelDownload_;
}

void frmCheckUpdates::ShowResult(int index)
{
    const UpdateResult& result = check_->Results()[size_t(index)];
    const int row = index + 1;
    fgUpdates->SetTextMatrix(row, UpdateColumn, result.Text());
    if (result.verdict == UpdateVerdict::Newer)
        fgUpdates->SetTextMatrix(row, SizeColumn, SizeText(result.size));
    const bool failed = result.verdict == UpdateVerdict::Unreachable || result.verdict == UpdateVerdict::NotAHackFile;
    fgUpdates->SetRowColor(row, failed ? QColor(Qt::red) : QColor());
    FitColumns();
    prgCheck->setValue(check_->CheckedCount());
    UpdateButtons();
}

void frmCheckUpdates::CheckFinished()
{
    const std::vector<UpdateResult>& results = check_->Results();
    const auto count = [&](UpdateVerdict verdict) {
        return std::count_if(
            results.begin(), results.end(), [verdict](const UpdateResult& r) { return r.verdict == verdict; });
    };
    const qsizetype pending = count(UpdateVerdict::Pending);
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i].verdict == UpdateVerdict::Pending)
            fgUpdates->SetTextMatrix(int(i) + 1, UpdateColumn, tr("not checked"));
    }
    FitColumns();
    lblStatus->setText(
        pending > 0
            ? tr("Cancelled: %1 of %2 hacks checked.").arg(results.size() - pending).arg(results.size())
            : tr("%1 hacks checked: %2 with a newer version.").arg(results.size()).arg(count(UpdateVerdict::Newer)));
    UpdateButtons();
}

void frmCheckUpdates::Cancel()
{
    if (cancelDownload_) {
        std::exchange(cancelDownload_, nullptr)();
        lblStatus->setText(tr("Download cancelled."));
        prgCheck->setRange(0, 1);
        prgCheck->setValue(0);
    } else if (check_) {
        check_->Cancel();
    }
    UpdateButtons();
}

void frmCheckUpdates::UpdateButtons()
{
    const int row = fgUpdates->Row();
    const bool newer = check_ && row >= 1 && check_->Results()[size_t(row - 1)].verdict == UpdateVerdict::Newer
        && !imported_.contains(row - 1);
    cmdDownload->setEnabled(newer && !cancelDownload_);
    cmdCancel->setEnabled(IsBusy());
}

void frmCheckUpdates::DownloadSelected()
{
    const int row = fgUpdates->Row();
    if (!check_ || row < 1 || cancelDownload_)
        return;
    const UpdateResult& result = check_->Results()[size_t(row - 1)];
    const std::optional<QUrl> url = UpdateAddress(result.hack.UpdateURL);
    if (result.verdict != UpdateVerdict::Newer || imported_.contains(row - 1) || !url)
        return;
    const QString title = tr("Download and Import");
    if (state_.dialogs.messageBox(tr("Download version %1 of \"%2\" (%3) from %4 and import it?")
                                      .arg(result.newVersion, result.hack.Name, SizeText(result.size), url->toString()),
                                  title,
                                  MsgButtons::YesNo,
                                  MsgIcon::Question)
        != MsgAnswer::Yes)
        return;
    qint64 cap = DownloadCap;
    if (result.size > cap) {
        if (state_.dialogs.messageBox(tr("The file is %1, more than %2. Download it all the same?")
                                          .arg(SizeText(result.size), SizeText(DownloadCap)),
                                      title,
                                      MsgButtons::YesNo,
                                      MsgIcon::Exclamation)
            != MsgAnswer::Yes)
            return;
        cap = result.size;
    }
    downloads_ = std::make_unique<QTemporaryDir>();
    const QString file
        = downloads_->filePath(url->fileName().isEmpty() ? QStringLiteral("update.zpx") : url->fileName());
    prgCheck->setRange(0, 0);
    lblStatus->setText(tr("Downloading %1...").arg(url->toString()));
    cancelDownload_ = DownloadHackFile(
        *fetcher_,
        *url,
        file,
        cap,
        [this](qint64 received, qint64 size) {
            if (size > 0) {
                prgCheck->setRange(0, 1000);
                prgCheck->setValue(int(received * 1000 / qMax(size, received)));
            }
        },
        [this, index = row - 1, file](const QString& failure) {
            // Called once the download has ended; the next one may start from here.
            QTimer::singleShot(0, this, [this, index, file, failure] { DownloadFinished(index, file, failure); });
        });
    UpdateButtons();
}

void frmCheckUpdates::DownloadFinished(int index, const QString& file, const QString& failure)
{
    cancelDownload_ = nullptr;
    prgCheck->setRange(0, 1);
    prgCheck->setValue(failure.isEmpty() ? 1 : 0);
    UpdateButtons();
    if (!failure.isEmpty()) {
        lblStatus->setText(tr("The download failed: %1").arg(failure));
        state_.dialogs.messageBox(tr("The download failed: %1").arg(failure),
                                  tr("Download and Import"),
                                  MsgButtons::OK,
                                  MsgIcon::Exclamation);
        return;
    }
    ImportDownload(index, file);
}

void frmCheckUpdates::ImportDownload(int index, const QString& file)
{
    const UpdateResult& result = check_->Results()[size_t(index)];
    const int row = index + 1;
    lblStatus->setText(tr("Downloaded; importing..."));
    const int stored = ImportFile(file);
    downloads_.reset();
    if (stored == 0) {
        fgUpdates->SetTextMatrix(row, UpdateColumn, tr("%1: import cancelled").arg(result.Text()));
        FitColumns();
        lblStatus->setText(
            tr("The import of \"%1\" was cancelled; the downloaded file was deleted.").arg(result.hack.Name));
        return;
    }
    imported_.insert(index);
    QString version = result.newVersion;
    RunGuarded(state_.dialogs, windowTitle(), [&] {
        if (const std::vector<UpdateCandidate> hack = UpdateCandidates(state_, {stored}); !hack.empty())
            version = hack.front().Version;
    });
    fgUpdates->SetTextMatrix(row, UpdateColumn, tr("imported: version %1").arg(version));
    if (stored == result.hack.HackNum) // it replaced the hack of the row
        fgUpdates->SetTextMatrix(row, VersionColumn, version);
    FitColumns();
    lblStatus->setText(tr("Version %1 of \"%2\" imported.").arg(version, result.hack.Name));
    UpdateButtons();
}

frmCheckUpdates& ShowCheckUpdates(MainFrame& main)
{
    return ShowSingleWindow<frmCheckUpdates>(main);
}

} // namespace zp
