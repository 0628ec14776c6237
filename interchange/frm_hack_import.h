#pragma once

#include "interchange/interchange_dialog.h"

class QLineEdit;
class QMimeData;
class QPushButton;

namespace zp {

class MainFrame;

// Whether a stopped import leaves the import window open for another try (a file the user chose),
// or closes it too (a downloaded file, deleted afterwards).
enum class ImportWindowEnd { OpenAfterStop, AlwaysClose };

// The Hack Import window: adds the hack of one hack file as a new hack. A stopped import leaves
// it open for another try, unless told otherwise; an imported (or refused old) hack closes it.
class frmHackImport : public InterchangeDialog
{
    Q_OBJECT

public:
    // Loads the file text from diagImportPath (else the program folder).
    frmHackImport(AppState& state, QWidget* parent = nullptr);

    // Start Import on the file in txtImpFile.
    void Start();

    QLineEdit* txtImpFile;
    QPushButton* cmdImpFile;
    QPushButton* cmdStartImport;
    ImportWindowEnd end = ImportWindowEnd::OpenAfterStop;
};

// The import window, modal over the main window; given a file, it starts importing it at once.
void ShowHackImport(MainFrame& main,
                    const QString& file = QString(),
                    ImportWindowEnd end = ImportWindowEnd::OpenAfterStop);

// The file that dragged data carries when it is exactly one local file, else an empty text. The
// import itself tells a hack file from any other.
QString DroppedFile(const QMimeData* data);

} // namespace zp
