#pragma once

#include "interchange/hack_description.h"

#include <QByteArray>
#include <QByteArrayView>
#include <memory>

struct z_stream_s;

namespace zp {

// Reads a hack file as it arrives, a piece at a time, and only as far as the end of its
// description: expands the zlib stream, follows the package text's blocks to the description
// block, decodes it and reads it. It takes at most `maxFileBytes` of the file and at most
// `maxTextBytes` of the package text before the description ends; a file that needs more is not
// taken for a hack file.
class DescriptionScanner
{
public:
    enum class State { Reading, Read, NotAHackFile };

    explicit DescriptionScanner(qint64 maxFileBytes = qint64(1) << 20, qint64 maxTextBytes = qint64(16) << 20);
    ~DescriptionScanner();
    DescriptionScanner(const DescriptionScanner&) = delete;
    DescriptionScanner& operator=(const DescriptionScanner&) = delete;

    // The next bytes of the file. Once the state is no longer Reading, further bytes are ignored.
    State Feed(QByteArrayView bytes);
    // The file has ended: a description not read by now is not there.
    State Finish();
    State Current() const { return state_; }
    // The description, once the state is Read.
    const HackDescription& Description() const { return description_; }

private:
    void Expand(QByteArrayView bytes);
    void TakeLines();
    void TakeLine(QByteArray line);
    void Fail() { state_ = State::NotAHackFile; }

    std::unique_ptr<z_stream_s> zlib_;
    qint64 maxFileBytes_;
    qint64 maxTextBytes_;
    qint64 fileBytes_ = 0;
    qint64 textBytes_ = 0;
    State state_ = State::Reading;
    QByteArray pending_; // package text not yet split into lines
    bool inBlock_ = false;
    bool inDescription_ = false;
    QByteArray encoded_; // the description block's base64 lines
    HackDescription description_;
};

} // namespace zp
