#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "common/contact_figures.h"

// What the database has not got yet, kept on disk so that a program that ends (or breaks
// off) before the database took it loses nothing: the data files whose rows are missing, and
// the contacts themselves. Each list is a small text file in the per-user data folder,
// rewritten whole for each change under a lock, so the collectors of one user can share it.
namespace varnel {

// The contacts beside a file list: "database-pending-contacts.txt" for the default.
QString PendingContactsPath(const QString& fileList);

QStringList ReadPendingFiles(const QString& list);
bool AddPendingFiles(const QString& list, const QStringList& files);
bool RemovePendingFiles(const QString& list, const QStringList& files);

// A contact kept as one line of text, and read back the same (nullopt: not such a line).
QString ContactLine(const ContactFigures& contact);
std::optional<ContactFigures> ParseContactLine(const QString& line);

// The contact lists are kept as lines: a contact is removed by the line that was read.
QStringList ReadPendingContacts(const QString& list);
bool AddPendingContact(const QString& list, const ContactFigures& contact);
bool RemovePendingContacts(const QString& list, const QStringList& lines);

}  // namespace varnel
