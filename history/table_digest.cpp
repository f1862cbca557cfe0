#include "history/table_digest.h"

#include "configfile/config_format.h"

#include <QCryptographicHash>

TableDigest digestTable(const ChannelTable &rows)
{
    TableDigest digest{formatConfig(rows), {}};
    digest.sha256 = QString::fromLatin1(QCryptographicHash::hash(digest.savedForm, QCryptographicHash::Sha256).toHex());
    return digest;
}
