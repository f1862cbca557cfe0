#include "history/history_target.h"

#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

QString HistoryTarget::shown() const
{
    if (kind == SQLite)
        return path;
    if (kind == Off)
        return QStringLiteral("(no history)");
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    if (!host.startsWith(QLatin1Char('/')))
        url.setHost(host);
    url.setUserName(user);
    if (port > 0)
        url.setPort(port);
    url.setPath(QLatin1Char('/') + database);
    QUrlQuery query;
    for (const QString &option : options)
        query.addQueryItem(option.section(QLatin1Char('='), 0, 0), option.section(QLatin1Char('='), 1));
    if (host.startsWith(QLatin1Char('/')))
        query.addQueryItem(QStringLiteral("host"), host);
    url.setQuery(query);
    return url.toString(QUrl::RemovePassword);
}

QString defaultHistoryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/telvarin/history.sqlite");
}

HistoryTarget parseHistoryTarget(const QString &text, QString *error)
{
    HistoryTarget target;
    if (!text.startsWith(QLatin1String("postgresql://")) && !text.startsWith(QLatin1String("postgres://"))) {
        target.kind = HistoryTarget::SQLite;
        target.path = text;
        return target;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        // The text itself may hold a password: only the scheme is named.
        *error = QStringLiteral("the postgresql:// address of the history cannot be read");
        return {};
    }
    target.kind = HistoryTarget::PostgreSQL;
    target.host = url.host();
    target.port = url.port();
    target.database = url.path().mid(1);
    target.user = url.userName();
    target.password = url.password();
    // libpq's own parameters (sslmode, connect_timeout …) pass through; host= names a socket folder.
    QUrlQuery query(url);
    QStringList &options = target.options;
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host"))
            target.host = value;
        else
            options.append(key + QLatin1Char('=') + value);
    }
    // An unreachable server must not hold a transfer's report up for long.
    if (!query.hasQueryItem(QStringLiteral("connect_timeout")))
        options.append(QStringLiteral("connect_timeout=3"));
    return target;
}

HistoryTarget historyTarget(const QString &option, bool off, QString *error)
{
    if (off)
        return {};
    QString text = option;
    if (text.isEmpty())
        text = qEnvironmentVariable("TELVARIN_HISTORY");
    if (text.isEmpty())
        text = defaultHistoryPath();
    return parseHistoryTarget(text, error);
}
