#pragma once

#include "ParameterSet.h"

#include <QString>

class QSqlDatabase;

namespace kiro {

// The parameter database of QZ318: one SQLite file holding the table QZ318 with four text
// columns (name, actual value, valid range, default value) and the last parameter set shown, one
// row per index in index order. It is a display store only; nothing is read back from it into the
// held set.
class ParameterDatabase {
public:
    static const QString kFileName;  // "QZ318.db"
    static const QString kSelectAll; // the statement whose result the table view shows

    ParameterDatabase();
    ~ParameterDatabase();
    ParameterDatabase(const ParameterDatabase&) = delete;
    ParameterDatabase& operator=(const ParameterDatabase&) = delete;

    // Where the program keeps its database: placeIn() the program's folder, else the user's
    // data folder.
    static QString defaultPath();
    // The file beside the program only when new files can be made in its folder (SQLite writes
    // its journal there, beside the database) and an existing file can be written; else in the
    // data folder, which is made when missing.
    static QString placeIn(const QString& programFolder, const QString& dataFolder);

    // Opens (or creates) the file and the table; false when either fails.
    bool open(const QString& path);
    bool isOpen() const;
    void close();

    // Replaces every row by the 15 rows of the set, in one transaction: either the whole new set
    // is in the table afterwards, or the table is as it was.
    bool rewrite(const ParameterSet& set);

    // The connection, for a view that runs kSelectAll on it. Invalid while closed.
    QSqlDatabase connection() const;

private:
    QString connectionName_;
    bool open_ = false;
};

} // namespace kiro
