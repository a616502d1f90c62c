#pragma once
#include <QString>
#include <functional>

// Where things live: every folder and file the programs keep of their own, apart from the
// per-user store's keys (registry_store.h) and the files the operator names. Each path is
// worked out here and nowhere else.
namespace varnel {

// The per-user data folder of the program: $XDG_DATA_HOME/varnel, else
// ~/.local/share/varnel; on Windows %LOCALAPPDATA%\Varnel. Not created here.
QString UserDataFolder();

// The per-user configuration folder: $XDG_CONFIG_HOME when set, else ~/.config.
QString ConfigHome();

// The default data folder of a copy whose own folder cannot take files (an installed
// program): "Varnel" in the user's documents folder, where an operator looks for files. The
// documents folder is the shell's on Windows and the XDG one (else ~/Documents) elsewhere;
// without one, the per-user data folder. Not created here.
QString DocumentsDataFolder();

// The folder rule for the data and configuration-file folders: the stored folder when it
// exists, else "CommonData" in the program's folder when that exists, else the program's
// folder (no trailing separator). A folder that the rule chose and that cannot be written to
// (or the program's folder of an installed copy) gives way to the documents data folder,
// which is not created here; `toDocuments` is then set. A stored folder that is an installed
// program's own folder counts as none. A stored folder that cannot be
// written to is replaced by "C:" on Windows, by the per-user data folder elsewhere.
// `writable` tells whether a folder can be written to (the default asks the system).
QString ResolveFolderSetting(const QString& stored, const QString& programFolder,
                             const std::function<bool(const QString&)>& writable = {},
                             bool* toDocuments = nullptr);

// Where a call's files go when the data folder cannot take them, so that nothing read from
// a logger is lost: "fallback-data" in the per-user data folder, with the usual folder per
// serial number below it. Not created here.
QString FallbackDataFolder();

// Where the log of the program at `programPath` goes: beside the program, the program's file
// name with its extension replaced by ".LOG". When the program's folder is not writable or
// the program is installed, the same name in the per-user data folder, which is created
// when needed. `writable` tells whether a folder can be written to (the default asks the
// system).
QString DefaultLogFilePath(const QString& programPath,
                           const std::function<bool(const QString&)>& writable = {});

// True for an existing folder that this program may create files in, found out by making
// and removing a probe file: on Windows the folder's attributes say nothing of its access
// list, so C:\Program Files would pass for writable.
bool FolderWritable(const QString& folder);

// True when `programFolder` is the program folder of an installed copy (the install puts a
// mark in its data folder, ../share/varnel/installed from the programs; the Windows installer
// puts "installed" beside the programs). An installed
// program keeps nothing beside itself, even where it could write (root may write to
// /usr/bin): its log and its default data folder are the per-user data folder.
bool InstalledProgramFolder(const QString& programFolder);

// The contact history of this PC: history.sqlite in the per-user data folder.
QString DefaultHistoryPath();

// The SQLite file of the measurements when the database URL names none: database.sqlite in
// the per-user data folder.
QString DefaultDatabasePath();

// Where an earlier version kept what the database had not got yet: database-pending.txt in
// the per-user data folder (the contacts' list beside it). Read once into the outbox.
QString DefaultPendingListPath();

// The page cache of the loggers read with "only new pages": "page-cache" in the per-user
// data folder, one file per serial number. Not created here.
QString PageCacheFolder();

}  // namespace varnel
