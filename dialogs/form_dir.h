#pragma once
#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The folder chooser: a folder list of the current drive and a drive list coupled to it. On
// Windows the drives are the drive letters; elsewhere they are the mount points of the system
// (the drive of a folder is the mount point it lies on). A drive that is missing or not ready
// when it is picked sets the drive list back to the last good drive.
namespace varnel {

class TFormDir : public QDialog {
  Q_OBJECT
 public:
  explicit TFormDir(QWidget* owner = nullptr);

  bool Accepted = false;

  // Selects the drive that `path` lies on and shows its top folder.
  void SetDrive(const QString& path);
  // Shows `folder` (an existing folder) in the folder list.
  void SetFolder(const QString& folder);
  // The folder the list shows (native separators).
  QString Folder() const;
  // The root of the drive the drive list shows.
  QString Drive() const;
  // True when the current drive's top folder can be read and is not read-only.
  bool DriveWritable() const;
  // The drive holding `path`: its mount point (its drive letter on Windows).
  static QString DriveOf(const QString& path);

  QLabel* LbPath;
  QLabel* LbFolder;
  QListWidget* DirectoryListBox1;
  QLabel* LbDrive;
  QComboBox* DriveComboBox1;
  QPushButton* BtnOK;
  QPushButton* BtnCancel;

 public slots:
  void BtnOKClick();
  void BtnCancelClick();
  void reject() override { BtnCancelClick(); }
  // The operator picked the drive at `index`.
  void DriveComboBox1Click(int index);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyLanguage();
  void FillDrives();
  void DirectoryListBox1Change();
  void OpenItem(QListWidgetItem* item);
  int DriveIndexOf(const QString& root) const;

  QString folder_;
  int lastGoodIndex_ = -1;
  QString lastGoodDrive_;
};

}  // namespace varnel
