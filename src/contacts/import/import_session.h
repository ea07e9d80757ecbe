#pragma once
// What the contact window asks of the organizer database while it is open: the rows of the
// mapping lists, the saved mapping schemes, the stored contacts for the preview and the names
// the "Send Ipod" tab lists, and the card version of that tab. The window keeps one session
// and never touches the database itself.

#include "common/result.h"
#include "contacts/export/contact_session.h"
#include "contacts/import/field_mapping.h"
#include "db/database.h"

#include <QStringList>

#include <vector>

namespace quenda {

struct MappingLists {
    std::vector<MappingRow> important; // "Step 2-Set Fields"
    std::vector<MappingRow> other;     // "Other Fields"
};

// A preview ready for the grid: the headers and each record's values in their order.
struct PreviewTable {
    QStringList headers;
    std::vector<QStringList> rows;
};

class ImportSession : public ContactSession {
public:
    using ContactSession::ContactSession;

    // The two mapping lists, with the column names the contact table reports.
    MappingLists mappingLists();

    // The saved scheme names, each once; the error is a sentence for the user.
    Result<QStringList> schemeNames();
    // The rows of a saved scheme that fall within the rowCount rows of the important list; a
    // row the scheme does not name keeps what it has.
    Result<std::vector<SchemeRow>> schemeRows(const QString &name, int rowCount);
    // Keeps fieldsByRow (row 1 first) under name, replacing a scheme of that name.
    Status saveScheme(const QString &name, const QStringList &fieldsByRow);

    // The stored contacts under their display names, at most maxRows of them.
    Result<PreviewTable> storedContacts(qsizetype maxRows);
    // Every contact's name, in the order the send writes them.
    Result<QStringList> contactNames();
};

} // namespace quenda
