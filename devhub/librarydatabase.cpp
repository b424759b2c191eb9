#include "librarydatabase.h"

#include "sampledata.h"

#include <QAtomicInt>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <iterator>

namespace {

constexpr char Driver[] = "QSQLITE";
constexpr int BusyTimeoutMs = 2000;
constexpr int LoanDays = 28;

QAtomicInt connectionCounter;

struct Book
{
    const char *isbn;
    const char *title;
    const char *author;
};

const Book Books[] = {
    { "9780131103627", "The C Programming Language", "Kernighan, Ritchie" },
    { "9780262033848", "Introduction to Algorithms", "Cormen et al." },
    { "9780198538035", "Organic Chemistry", "Clayden, Greeves, Warren" },
    { "9780321573513", "Algorithms", "Sedgewick, Wayne" },
    { "9780393979503", "Principles of Economics", "Mankiw" },
    { "9780470458365", "Advanced Engineering Mathematics", "Kreyszig" },
    { "9780199535569", "Pride and Prejudice", "Austen" },
    { "9780141439518", "Great Expectations", "Dickens" },
    { "9780716710455", "Molecular Cell Biology", "Lodish et al." },
    { "9781292024868", "Financial Accounting", "Horngren" },
    { "9780199296460", "A Short History of Nearly Everything", "Bryson" },
    { "9780134685991", "Effective Java", "Bloch" },
};

const char *const Schema[] = {
    "CREATE TABLE IF NOT EXISTS books (isbn TEXT PRIMARY KEY, title TEXT NOT NULL, author TEXT NOT NULL)",
    ("CREATE TABLE IF NOT EXISTS loans (id INTEGER PRIMARY KEY AUTOINCREMENT, student_no INTEGER NOT NULL,"
     " isbn TEXT NOT NULL, loaned TEXT NOT NULL, due TEXT NOT NULL, returned TEXT)"),
    "CREATE INDEX IF NOT EXISTS loans_student ON loans (student_no)",
};

bool populate(QSqlDatabase &db, QString *error)
{
    QSqlQuery count(QStringLiteral("SELECT COUNT(*) FROM books"), db);
    if (count.next() && count.value(0).toInt() > 0)
        return true;
    QSqlQuery book(db);
    book.prepare(QStringLiteral("INSERT INTO books (isbn, title, author) VALUES (?, ?, ?)"));
    for (const Book &entry : Books) {
        book.addBindValue(QString::fromUtf8(entry.isbn));
        book.addBindValue(QString::fromUtf8(entry.title));
        book.addBindValue(QString::fromUtf8(entry.author));
        if (!book.exec()) {
            *error = book.lastError().text();
            return false;
        }
    }
    // Every third loan is still out; the rest came back. Same loans every time.
    QSqlQuery loan(db);
    loan.prepare(
        QStringLiteral("INSERT INTO loans (student_no, isbn, loaned, due, returned) VALUES (?, ?, ?, ?, ?)"));
    const QDate start(QDate::currentDate().year(), 1, 10);
    for (int i = 0; i < LibraryDatabase::LoanCount; ++i) {
        const QDate loaned = start.addDays(i * 5);
        loan.addBindValue(SampleData::FirstStudentNumber + (i * 7) % SampleData::StudentCount);
        loan.addBindValue(QString::fromUtf8(Books[(i * 5) % int(std::size(Books))].isbn));
        loan.addBindValue(loaned.toString(Qt::ISODate));
        loan.addBindValue(loaned.addDays(LoanDays).toString(Qt::ISODate));
        loan.addBindValue(i % 3 == 0 ? QVariant(QVariant::String)
                                     : loaned.addDays(i % 20).toString(Qt::ISODate));
        if (!loan.exec()) {
            *error = loan.lastError().text();
            return false;
        }
    }
    return true;
}

bool create(QSqlDatabase &db, QString *error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *error = query.lastError().text();
        return false;
    }
    for (const char *statement : Schema) {
        if (!query.exec(QLatin1String(statement))) {
            *error = query.lastError().text();
            db.rollback();
            return false;
        }
    }
    if (!populate(db, error)) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        *error = db.lastError().text();
        return false;
    }
    return true;
}

} // namespace

bool LibraryDatabase::ensure(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    const QString connection = QStringLiteral("library-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(Driver), connection);
        db.setDatabaseName(info.absoluteFilePath());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
        if (!db.open())
            *error = db.lastError().text();
        else
            ok = create(db, error);
        if (!ok)
            *error = QStringLiteral("cannot prepare the library database %1: %2").arg(path, *error);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}
