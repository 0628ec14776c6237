#include "publish_screenshots.h"

#include "app/app_state.h"
#include "core/catalogue_operations.h"
#include "publish/frm_publish.h"
#include "publish/publish_job.h"
#include "shell/mdi_main.h"

#include <QApplication>
#include <QLabel>
#include <cstdio>
#include <vector>

bool PublishWindowShot(zp::mdiMain& window, zp::AppState& state, const QString& hack, const QString& out)
{
    if (!zp::FindHack(state, hack))
        return false;
    zp::frmPublish& publish = zp::ShowPublishWindow(window, state.CurrentHackNum);
    publish.parentWidget()->move(0, 0);
    // What a check of a board whose live copy was edited in one place would say.
    std::vector<zp::PublishFile> files
        = zp::InstalledFiles(state, state.CurrentHackNum).value_or(std::vector<zp::PublishFile>());
    const zp::PublishState states[] = {zp::PublishState::Replace, zp::PublishState::New, zp::PublishState::Unchanged};
    for (size_t i = 0; i < files.size(); ++i) {
        files[i].bytes = qint64(2300 + 1711 * i);
        files[i].state = states[i % 3];
    }
    if (!files.empty()) {
        files.back().state = zp::PublishState::Refused;
        files.back().reason = QStringLiteral("/home/admin/public_html/%1 on the server differs from the source "
                                             "folder's copy: the live board was changed since the source was taken.")
                                  .arg(files.back().path);
    }
    publish.ShowFiles(files);
    int counts[4] = {};
    for (const zp::PublishFile& file : files)
        ++counts[int(file.state)];
    publish.lblStatus->setText(QStringLiteral("Checked: %1 new, %2 replaced, %3 unchanged, %4 refused.")
                                   .arg(counts[int(zp::PublishState::New)])
                                   .arg(counts[int(zp::PublishState::Replace)])
                                   .arg(counts[int(zp::PublishState::Unchanged)])
                                   .arg(counts[int(zp::PublishState::Refused)]));
    QApplication::processEvents();
    const QString path = out + "/publish.png";
    const bool saved = publish.parentWidget()->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    publish.parentWidget()->close();
    return saved;
}
