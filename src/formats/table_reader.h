#pragma once
// One streaming interface over every foreign table the program reads: delimited text,
// dBASE/FoxPro tables, Access tables (through the reading helper) and spreadsheets. A reader
// gives the field names in file order, then one record at a time in file order, so a source of
// any size is read in bounded memory. A reader never throws and never crashes on a hostile
// file: reading stops and status() names the file and what is wrong with it.

#include "common/result.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace quenda {

enum class FieldType {
    Text,     // QString
    Memo,     // QString, may be long
    Integer,  // qint64
    Number,   // double
    Currency, // double
    Boolean,  // bool
    Date,     // QDate
    DateTime, // QDateTime
    Binary,   // always given as an empty value: binary and OLE data are not text
};

// Codes that go with an opening Error: the numbers the database engine gave the same faults, so
// that a window can tell them apart.
constexpr int kErrorFileNotFound = 3024;
constexpr int kErrorWrongFormat = 3274; // the file is not in the expected format for its kind

struct FieldInfo {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0; // defined size in characters; 0 when the source defines none
};

class TableReader {
public:
    virtual ~TableReader() = default;

    virtual const std::vector<FieldInfo> &fields() const = 0;
    QStringList fieldNames() const
    {
        QStringList names;
        for (const FieldInfo &f : fields())
            names << f.name;
        return names;
    }

    // Fills values with the next record, one value per field (a null QVariant for an empty or
    // missing value). Returns false at the end of the table or when reading stopped on a fault;
    // status() tells the two apart.
    virtual bool next(QVariantList &values) = 0;

    // Whether nextText() is offered: every value of the source is text.
    virtual bool givesText() const { return false; }
    // Fills values with the next record as UTF-8, one view per field; a null view for an empty
    // or missing value. The views hold until the next call of next() or nextText(). Shares the
    // position with next(), and ends as it does. Lets a bulk job skip making a QString of every
    // value.
    virtual bool nextText(std::vector<QByteArrayView> &values)
    {
        values.clear();
        return false;
    }

    // Ok unless reading stopped on a fault: then a sentence naming the file and the fault.
    virtual Status status() const = 0;

    // The Windows code page number the text was decoded with (1252, 850, 65001 for UTF-8,
    // 1200 for UTF-16); 0 when the format stores no text bytes of its own.
    virtual int codePage() const = 0;

    // Counts the records given so far: the number of the last one returned, from 1.
    virtual qint64 recordNumber() const = 0;
};

} // namespace quenda
