#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

// The cursor keeps ADO's member names BOF and EOF. The C library's EOF macro (pulled in by the
// headers above, whose include guard keeps it from coming back) would turn the member into "-1".
#undef EOF

namespace zp {

class Database;

// An ADO-like static cursor over one query of the hack database.
// Open() takes a snapshot of a "SELECT * FROM [Table] ..." query (a non-SELECT statement such as
// DELETE is executed and leaves the recordset closed). Fields are found by case-insensitive name
// and hold nullable values: a null QVariant is Null; text is QString, integers qlonglong.
// BLOB fields (HackFiles.FileData) are not held in the snapshot; they are read and written in chunks.
class Recordset
{
public:
    explicit Recordset(Database& db);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void Open(const QString& sql);
    // The re-open idiom: close when open, then Open(sql).
    void ReOpen(const QString& sql);
    void Close();
    bool IsOpen() const; // State == adStateOpen
    QString Source() const;

    int RecordCount() const;
    bool BOF() const;
    bool EOF() const;
    void MoveFirst();
    void MoveNext();
    void MoveLast();
    void Move(int n); // relative to the current row
    int AbsolutePosition() const; // 0-based index of the current row, -1 at BOF/EOF
    void Requery();

    // AddNew starts a new row (fields Null); SetValue edits the new or current row; Update stores
    // it (an AddNew row gets its AutoNumber, readable afterwards through Value("HackNum")).
    void AddNew();
    void Update();
    void CancelUpdate();
    // Deletes the current row from the table and the snapshot. As with ADO, the cursor stays on the
    // deleted row's place until the next move: MoveNext reaches the row after it, MoveFirst and
    // RecordCount see only the remaining rows.
    void Delete();

    QStringList FieldNames() const; // the columns, in table order
    QVariant Value(const QString& field) const;
    // A field's column, for a caller that reads it on many rows: Value(FieldIndex(f)) is Value(f).
    int FieldIndex(const QString& field) const;
    QVariant Value(int column) const;
    void SetValue(const QString& field, const QVariant& value);
    bool IsNull(const QString& field) const;
    QString Text(const QString& field) const; // Null -> ""
    int Int(const QString& field, int defaultValue = 0) const; // Null -> defaultValue

    // Blob reading: GetChunk returns the next `size` bytes of the field of the current row
    // (empty at the end); moving the cursor restarts at offset 0. BlobSize gives the length.
    QByteArray GetChunk(const QString& field, int size);
    qint64 BlobSize(const QString& field) const;
    // Streams the whole field of the current row into a new file (16384-byte chunks); throws on
    // failure, and when anything (a symbolic link included) already has the name.
    void WriteBlobToFile(const QString& field, const QString& path);
    // Hands the field of the current row to `consume` in 16384-byte chunks; stops and returns false
    // when `consume` returns false.
    bool ReadBlob(const QString& field, const std::function<bool(const QByteArray&)>& consume);

    // Blob writing: AppendChunk adds bytes to the field of the new or current row (the first call
    // after AddNew or an edit starts the field afresh); SetBlobFromFile replaces it with a file's
    // contents, streamed. Both take effect at Update, which writes them through incremental blob I/O.
    void AppendChunk(const QString& field, const QByteArray& bytes);
    void SetBlobFromFile(const QString& field, const QString& path);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The value to store for a text box: Null when the text is empty, otherwise the text.
QVariant NullIfEmpty(const QString& text);

} // namespace zp
