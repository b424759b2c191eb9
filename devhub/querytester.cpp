#include "querytester.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <QVector>

#include <sqlite3.h>

namespace {

constexpr char Driver[] = "QSQLITE";
constexpr char Marker[] = "@@";
constexpr int MarkerLength = 2;
constexpr int ProgressSteps = 1000; // virtual machine steps between two looks at the clock
constexpr char ColumnSeparator[] = " | ";

QAtomicInt connectionCounter;

struct Deadline
{
    QElapsedTimer clock;
    qint64 limitMs = 0;
    bool expired = false;
};

int checkDeadline(void *context)
{
    auto *deadline = static_cast<Deadline *>(context);
    deadline->expired = deadline->clock.hasExpired(deadline->limitMs);
    return deadline->expired ? 1 : 0;
}

// Reading is all a test may do, whatever the statement says.
int allowReadingOnly(void *, int action, const char *, const char *, const char *, const char *)
{
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

QString errorText(const QSqlError &error)
{
    return error.databaseText().isEmpty() || error.databaseText() == QLatin1String("not an error")
        ? error.text()
        : error.databaseText();
}

QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString cellText(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    if (value.type() == QVariant::ByteArray)
        return QStringLiteral("(%1 bytes)").arg(value.toByteArray().size());
    QString text = value.toString().simplified();
    if (text.size() > QueryTester::MaxCellLength)
        text = text.left(QueryTester::MaxCellLength - 3) + QLatin1String("...");
    return text;
}

QString table(const QStringList &header, const QVector<QStringList> &rows)
{
    QVector<int> widths;
    for (const QString &name : header)
        widths.append(name.size());
    for (const QStringList &row : rows) {
        for (int c = 0; c < row.size(); ++c)
            widths[c] = qMax(widths[c], row.at(c).size());
    }
    const auto line = [&widths](const QStringList &cells) {
        QStringList padded;
        for (int c = 0; c < cells.size(); ++c)
            padded.append(c + 1 < cells.size() ? cells.at(c).leftJustified(widths[c]) : cells.at(c));
        return padded.join(QLatin1String(ColumnSeparator)) + QLatin1Char('\n');
    };
    QStringList rules;
    for (const int width : widths)
        rules.append(QString(width, QLatin1Char('-')));
    QString text = line(header) + rules.join(QLatin1String("-+-")) + QLatin1Char('\n');
    for (const QStringList &row : rows)
        text += line(row);
    return text;
}

// The length of the name after a marker at `at`; 0 when there is no reference there.
int nameLength(const QString &sql, int at)
{
    if (!sql.midRef(at, MarkerLength).startsWith(QLatin1String(Marker)))
        return 0;
    int end = at + MarkerLength;
    while (end < sql.size() && sql.at(end).isLetter())
        ++end;
    return end - at - MarkerLength;
}

// The quoted text starting at `start`, with its references cut out and joined to the rest of it;
// returns where the text ends. A doubled quote inside it is one quote. Unended text is copied as
// it is, for SQLite to complain about.
int rewriteQuotedText(const QString &sql, int start, QueryTester::Rewritten *result)
{
    QStringList parts;
    QStringList keys;
    QString text;
    int at = start + 1;
    for (; at < sql.size(); ++at) {
        const QChar c = sql.at(at);
        if (c == QLatin1Char('\'') && sql.midRef(at + 1, 1) == QLatin1String("'")) {
            text += c;
            ++at;
        } else if (c == QLatin1Char('\'')) {
            break;
        } else if (const int length = nameLength(sql, at)) {
            if (!text.isEmpty())
                parts.append(quoted(text));
            text.clear();
            parts.append(QStringLiteral("?"));
            keys.append(sql.mid(at + MarkerLength, length));
            at += MarkerLength + length - 1;
        } else {
            text += c;
        }
    }
    const int end = qMin(at + 1, sql.size());
    if (keys.isEmpty() || at >= sql.size()) {
        result->sql += sql.midRef(start, end - start);
        return end;
    }
    if (!text.isEmpty())
        parts.append(quoted(text));
    result->sql += parts.size() == 1
        ? parts.first()
        : QLatin1Char('(') + parts.join(QLatin1String(" || ")) + QLatin1Char(')');
    result->keys += keys;
    return end;
}

} // namespace

QueryTester::QueryTester(int maxRows, int timeLimitMs)
    : m_maxRows(qMax(1, maxRows))
    , m_timeLimitMs(qMax(1, timeLimitMs))
{ }

QueryTester::Rewritten QueryTester::rewrite(const QString &sql)
{
    Rewritten result;
    const int size = sql.size();
    int i = 0;
    // Copies what starts at i up to and including `close` (or the rest), untouched.
    const auto copyThrough = [&](int openLength, QLatin1String close) {
        const int end = sql.indexOf(close, i + openLength);
        const int stop = end < 0 ? size : end + close.size();
        result.sql += sql.midRef(i, stop - i);
        i = stop;
    };
    while (i < size) {
        const QChar c = sql.at(i);
        const QStringRef two = sql.midRef(i, 2);
        if (c == QLatin1Char('"')) {
            copyThrough(1, QLatin1String("\""));
        } else if (c == QLatin1Char('`')) {
            copyThrough(1, QLatin1String("`"));
        } else if (c == QLatin1Char('[')) {
            copyThrough(1, QLatin1String("]"));
        } else if (two == QLatin1String("--")) {
            copyThrough(2, QLatin1String("\n"));
        } else if (two == QLatin1String("/*")) {
            copyThrough(2, QLatin1String("*/"));
        } else if (c == QLatin1Char('\'')) {
            i = rewriteQuotedText(sql, i, &result);
        } else if (const int length = nameLength(sql, i)) {
            result.sql += QLatin1Char('?');
            result.keys.append(sql.mid(i + MarkerLength, length));
            i += MarkerLength + length;
        } else {
            result.sql += c;
            ++i;
        }
    }
    return result;
}

QueryTester::Outcome QueryTester::run(const QString &databasePath, const QString &sql,
                                      const QHash<QString, QString> &values) const
{
    const Rewritten rewritten = rewrite(sql);
    for (const QString &key : rewritten.keys) {
        if (!values.contains(key))
            return { false, QStringLiteral("There is no test value for @@%1.").arg(key) };
    }
    if (!QFileInfo(databasePath).isFile())
        return { false, QStringLiteral("The database file is missing.") };

    const QString connection
        = QStringLiteral("dictedit-test-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    Outcome outcome;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(Driver), connection);
        db.setDatabaseName(databasePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        sqlite3 *handle = db.open() ? sqliteHandle(db) : nullptr;
        if (!db.isOpen()) {
            outcome.text = errorText(db.lastError());
        } else if (!handle) {
            outcome.text = QStringLiteral("The database driver allows no time limit.");
        } else {
            Deadline deadline;
            deadline.limitMs = m_timeLimitMs;
            deadline.clock.start();
            sqlite3_set_authorizer(handle, allowReadingOnly, nullptr);
            sqlite3_progress_handler(handle, ProgressSteps, checkDeadline, &deadline);
            const int lengthLimit = sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, MaxValueBytes);
            outcome = execute(db, rewritten, values);
            if (deadline.expired)
                outcome = { false, QStringLiteral("The query was stopped after %1 ms.").arg(m_timeLimitMs) };
            sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, lengthLimit);
            sqlite3_progress_handler(handle, 0, nullptr, nullptr);
            sqlite3_set_authorizer(handle, nullptr, nullptr);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return outcome;
}

QueryTester::Outcome QueryTester::execute(QSqlDatabase &db, const Rewritten &rewritten,
                                          const QHash<QString, QString> &values) const
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(rewritten.sql))
        return { false, errorText(query.lastError()) };
    for (const QString &key : rewritten.keys)
        query.addBindValue(values.value(key));
    if (!query.exec())
        return { false, errorText(query.lastError()) };
    const QSqlRecord record = query.record();
    if (record.isEmpty())
        return { false, QStringLiteral("The statement returns no table.") };

    const int columns = qMin(record.count(), MaxColumns);
    QStringList header;
    for (int c = 0; c < columns; ++c)
        header.append(record.fieldName(c));
    QVector<QStringList> rows;
    qint64 bytesRead = 0;
    while (rows.size() < m_maxRows && bytesRead < MaxResultBytes && query.next()) {
        QStringList row;
        for (int c = 0; c < columns; ++c) {
            const QVariant value = query.value(c);
            bytesRead
                += value.type() == QVariant::ByteArray ? value.toByteArray().size() : value.toString().size();
            row.append(cellText(value));
        }
        rows.append(row);
    }
    const bool more = (rows.size() == m_maxRows || bytesRead >= MaxResultBytes) && query.next();
    if (query.lastError().isValid())
        return { false, errorText(query.lastError()) };

    QString text = table(header, rows);
    if (more)
        text += QStringLiteral("(the first %1 rows; there are more)").arg(rows.size());
    else
        text += QStringLiteral("(%1 %2)")
                    .arg(rows.size())
                    .arg(rows.size() == 1 ? QLatin1String("row") : QLatin1String("rows"));
    if (record.count() > columns)
        text += QStringLiteral("\n(the first %1 of %2 columns)").arg(columns).arg(record.count());
    return { true, text };
}
