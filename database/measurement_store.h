#pragma once
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "database/database_url.h"

// The measurements of the data files in SQL: one row per entry in `measurements`, one row
// per file in `records`. An entry is named by its logger, its record's start, its time, its
// kind and its place among the entries of that record with the same time and kind, and a
// row that is there already is left alone: a record read again, the next piece of an
// incremental readout or a backfill of old folders adds only what is new.
QT_BEGIN_NAMESPACE
class QSqlDatabase;
QT_END_NAMESPACE

namespace varnel {

struct IdcFile;

// Times as the logger keeps them (its own local time), "YYYY-MM-DD hh:mm:ss[.zzz]".
QString EntryTimeText(double dateTime);
QString DeviceTimeText2000(std::uint32_t seconds);

struct FileExport {
  std::int64_t Entries = 0;  // entries of the file
  std::int64_t Added = 0;    // rows that were new
  bool AlreadyThere = false; // the file was taken before: nothing was written
};

class MeasurementStore {
 public:
  explicit MeasurementStore(DatabaseTarget target);
  ~MeasurementStore();
  MeasurementStore(const MeasurementStore&) = delete;
  MeasurementStore& operator=(const MeasurementStore&) = delete;

  const DatabaseTarget& Target() const { return target_; }
  DatabaseEngine Engine() const { return target_.Engine; }

  // Connects and creates the tables when missing. Empty on success, else the reason.
  std::string Open();
  bool IsOpen() const { return open_; }
  void Close();

  // Writes the file's entries and its row in `records`, in one transaction (opening the
  // store first when needed). `fileName` is the file's name without its folder. Empty on
  // success; on failure nothing of the file is written and the store is closed, to be
  // opened afresh next time.
  // `utcOffset`: seconds east of UTC of the collector's clock at the readout, where known.
  std::string AddFile(const IdcFile& file, const QString& fileName, FileExport* result,
                      std::optional<int> utcOffset = std::nullopt);

  // Reads the data file and adds it, with the offset of its modification time. *readError tells a file that cannot be read (it
  // will not get better by trying again) from a database that failed.
  std::string AddFile(const QString& path, FileExport* result, bool* readError = nullptr);

  // The name of this store's Qt SQL connection (for reading on the same thread).
  const QString& Connection() const { return connection_; }

 private:
  void AddSpanIndex(QSqlDatabase& db);

  DatabaseTarget target_;
  QString connection_;
  bool open_ = false;
};

}  // namespace varnel
