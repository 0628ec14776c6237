#include "interchange_test_support.h"

#include <QFile>

namespace zp::test {

QByteArray GoldenBytes(const QString& name)
{
    QFile file(QStringLiteral(ZENPATCH_TEST_DATA "/interchange/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

HackInfoFields LogoHackInfo()
{
    HackInfoFields info;
    info.HackType = 1;
    info.Name = "Logo Hack";
    info.AuthName = "Jane Doe";
    info.AuthEmail = "jane@example.com";
    info.Copyright = QString::fromUtf8("\u00a9 2001 Jane");
    info.Version = "1.2";
    info.PreInstallCom = "Back up first.\r\nThen install.";
    info.Comments = "Adds a logo.";
    return info;
}

QList<ModEntry> LogoHackMods()
{
    ModEntry forum;
    forum.FileName = "forum.php";
    forum.ModInst = 3;
    forum.ModOrder = 1;
    forum.PrimaryDir = 0;
    forum.OldData = "<head>\r\n<title>\r\n</head>";
    forum.NewData = "<img src=\"logo.gif\">";
    forum.ActionType = 1;

    ModEntry index;
    index.FileName = "index.php";
    index.ModOrder = 2;
    index.PrimaryDir = 3;
    index.ExtendDir = "/avatars/";
    index.OldData = "x";
    index.ActionType = 5;
    index.Comment = "Remove x\r\nfor good";
    return {forum, index};
}

QList<SupportFileEntry> LogoHackFiles()
{
    return {{0, "help.txt", std::nullopt}, {2, "logo.gif", QString("images")}};
}

QByteArray KeyLine(const char* name)
{
    return QByteArray("\xEC\xEC\xEC") + name + QByteArray("\xEC\xEC\xEC");
}

} // namespace zp::test
