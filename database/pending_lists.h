#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "common/contact_figures.h"

// A contact as one line of text, as the outbox keeps it, and the lists in which an earlier
// version kept what the database had not got yet (the data files, the contacts), read once
// into the outbox.
namespace varnel {

// The contacts beside a file list: "database-pending-contacts.txt" for the default.
QString PendingContactsPath(const QString& fileList);

QStringList ReadPendingFiles(const QString& list);

// A contact kept as one line of text, and read back the same (nullopt: not such a line).
QString ContactLine(const ContactFigures& contact);
std::optional<ContactFigures> ParseContactLine(const QString& line);

QStringList ReadPendingContacts(const QString& list);

}  // namespace varnel
