#include "ParameterDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUuid>

namespace kiro {

const QString ParameterDatabase::kFileName = QStringLiteral("QZ318.db");
const QString ParameterDatabase::kSelectAll = QStringLiteral("Select * from QZ318");

namespace {
const QString kDriver = QStringLiteral("QSQLITE");
const QString kCreateTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS QZ318 (参数名称 TEXT, 实际参数值 TEXT, 参数有效范围 TEXT, "
    "默认参数值 TEXT)");
const QString kDeleteAll = QStringLiteral("DELETE FROM QZ318");
const QString kInsertRow = QStringLiteral(
    "INSERT INTO QZ318(参数名称,实际参数值,参数有效范围,默认参数值) VALUES(?,?,?,?)");

// Tried rather than read from the permissions, which do not tell everything (access lists,
// read-only or immutable folders, a program folder that only an administrator may change).
bool canMakeFilesIn(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("QZ318-XXXXXX.probe")));
    return probe.open();
}
} // namespace

ParameterDatabase::ParameterDatabase()
    : connectionName_(QStringLiteral("QZ318-") +
                      QUuid::createUuid().toString(QUuid::WithoutBraces)) {
}

ParameterDatabase::~ParameterDatabase() {
    close();
}

QString ParameterDatabase::defaultPath() {
    return placeIn(QCoreApplication::applicationDirPath(),
                   QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString ParameterDatabase::placeIn(const QString& programFolder, const QString& dataFolder) {
    const QFileInfo beside(QDir(programFolder).filePath(kFileName));
    if (canMakeFilesIn(programFolder) && (!beside.exists() || beside.isWritable()))
        return beside.filePath();
    QDir().mkpath(dataFolder);
    return QDir(dataFolder).filePath(kFileName);
}

bool ParameterDatabase::open(const QString& path) {
    close();
    if (!QSqlDatabase::isDriverAvailable(kDriver))
        return false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, connectionName_);
        db.setDatabaseName(path);
        // A file that is not a database (or cannot be created) shows only at the first statement.
        open_ = db.open() && QSqlQuery(db).exec(kCreateTable);
    }
    if (!open_)
        close();
    return open_;
}

bool ParameterDatabase::isOpen() const {
    return open_;
}

void ParameterDatabase::close() {
    open_ = false;
    if (!QSqlDatabase::contains(connectionName_))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
}

bool ParameterDatabase::rewrite(const ParameterSet& set) {
    if (!open_)
        return false;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!db.transaction())
        return false;
    QSqlQuery query(db);
    bool ok = query.exec(kDeleteAll) && query.prepare(kInsertRow);
    for (int index = 0; ok && index < kParameterCount; ++index) {
        const auto i = std::size_t(index);
        query.addBindValue(set.ParamNames[i]);
        query.addBindValue(ShortestDecimal(set.ParamValues[i]));
        query.addBindValue(ParamRanges()[i]);
        query.addBindValue(ShortestDecimal(ParamDefaults()[i]));
        ok = query.exec();
    }
    query.finish();
    if (ok && db.commit())
        return true;
    db.rollback();
    return false;
}

QSqlDatabase ParameterDatabase::connection() const {
    return open_ ? QSqlDatabase::database(connectionName_, false) : QSqlDatabase();
}

} // namespace kiro
