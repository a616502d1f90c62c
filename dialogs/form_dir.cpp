#include "dialogs/form_dir.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QVBoxLayout>

#include "dialogs/dialog_support.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {

constexpr int kPathRole = Qt::UserRole;

QString Clean(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

TFormDir::TFormDir(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("FormDir"));
  LbPath = new QLabel(this);
  LbPath->setObjectName(QStringLiteral("LbPath"));
  LbFolder = new QLabel(this);
  LbFolder->setObjectName(QStringLiteral("LbFolder"));
  LbFolder->setTextFormat(Qt::PlainText);
  DirectoryListBox1 = new QListWidget(this);
  DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
  LbDrive = new QLabel(this);
  LbDrive->setObjectName(QStringLiteral("LbDrive"));
  DriveComboBox1 = new QComboBox(this);
  DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
  BtnOK = new QPushButton(this);
  BtnOK->setObjectName(QStringLiteral("BtnOK"));
  BtnCancel = new QPushButton(this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  for (QPushButton* b : {BtnOK, BtnCancel}) b->setAutoDefault(false);

  connect(BtnOK, &QPushButton::clicked, this, &TFormDir::BtnOKClick);
  connect(BtnCancel, &QPushButton::clicked, this, &TFormDir::BtnCancelClick);
  connect(DriveComboBox1, qOverload<int>(&QComboBox::activated), this,
          &TFormDir::DriveComboBox1Click);
  connect(DirectoryListBox1, &QListWidget::itemDoubleClicked, this, &TFormDir::OpenItem);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BtnOK);
  buttons->addWidget(BtnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LbPath);
  layout->addWidget(LbFolder);
  layout->addWidget(DirectoryListBox1, 1);
  layout->addWidget(LbDrive);
  layout->addWidget(DriveComboBox1);
  layout->addLayout(buttons);
  // Never smaller than this, however the operator drags the border.
  setMinimumSize(230, 170);
  resize(360, 360);
  InstallKeyPreview(this);

  Accepted = false;
  ApplyLanguage();
  FillDrives();
  SetFolder(QDir::homePath());
}

void TFormDir::ApplyLanguage() {
  setWindowTitle(Tx(kTextFolderTitle));
  LbPath->setText(Tx(kTextDirectory));
  LbDrive->setText(Tx(kTextDrive));
  BtnOK->setText(Tx(kTextOk));
  BtnCancel->setText(Tx(kTextCancel));
}

void TFormDir::FillDrives() {
  DriveComboBox1->clear();
  QStringList roots;
  for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
    if (s.isValid()) roots << Clean(s.rootPath());
  }
  roots.removeDuplicates();
  roots.sort();
  for (const QString& r : roots) DriveComboBox1->addItem(QDir::toNativeSeparators(r), r);
}

int TFormDir::DriveIndexOf(const QString& root) const {
  return DriveComboBox1->findData(Clean(root));
}

QString TFormDir::DriveOf(const QString& path) {
  const QStorageInfo s(path);
  if (s.isValid()) return Clean(s.rootPath());
  const QString clean = Clean(path);
#ifdef Q_OS_WIN
  return clean.left(3);
#else
  Q_UNUSED(clean);
  return QStringLiteral("/");
#endif
}

void TFormDir::SetDrive(const QString& path) {
  if (path.isEmpty()) return;
  const QString root = DriveOf(path);
  int index = DriveIndexOf(root);
  if (index < 0) {
    FillDrives();  // a drive mounted since the start
    index = DriveIndexOf(root);
  }
  if (index < 0 || !QFileInfo(root).isDir()) return;
  DriveComboBox1->setCurrentIndex(index);
  SetFolder(root);
}

void TFormDir::SetFolder(const QString& folder) {
  const QFileInfo info(folder);
  if (!info.isDir()) return;
  folder_ = Clean(folder);
  const int drive = DriveIndexOf(DriveOf(folder_));
  if (drive >= 0) DriveComboBox1->setCurrentIndex(drive);

  // The folder's ancestors down to it, then its sub-folders one step further in.
  DirectoryListBox1->clear();
  QStringList chain;
  for (QDir d(folder_);; ) {
    chain.prepend(d.absolutePath());
    if (d.isRoot() || !d.cdUp()) break;
  }
  int depth = 0;
  for (const QString& p : chain) {
    const QString name = QDir(p).isRoot() ? QDir::toNativeSeparators(p) : QFileInfo(p).fileName();
    auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name);
    item->setData(kPathRole, p);
    DirectoryListBox1->addItem(item);
    ++depth;
  }
  DirectoryListBox1->setCurrentRow(DirectoryListBox1->count() - 1);
  const QFileInfoList subs =
      QDir(folder_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& s : subs) {
    auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + s.fileName());
    item->setData(kPathRole, Clean(s.absoluteFilePath()));
    DirectoryListBox1->addItem(item);
  }
  LbFolder->setText(QDir::toNativeSeparators(folder_));
  DirectoryListBox1Change();
}

void TFormDir::OpenItem(QListWidgetItem* item) {
  if (item) SetFolder(item->data(kPathRole).toString());
}

void TFormDir::DirectoryListBox1Change() {
  lastGoodIndex_ = DriveComboBox1->currentIndex();
  lastGoodDrive_ = DriveComboBox1->currentData().toString();
}

void TFormDir::DriveComboBox1Click(int index) {
  const QString root = DriveComboBox1->itemData(index).toString();
  if (root == lastGoodDrive_) return;
  const QStorageInfo storage(root);
  if (!QFileInfo(root).isDir() || !storage.isValid() || !storage.isReady()) {
    // Missing or not ready: stay on the last good drive.
    DriveComboBox1->setCurrentIndex(lastGoodIndex_);
    return;
  }
  SetFolder(root);
}

QString TFormDir::Folder() const { return QDir::toNativeSeparators(folder_); }

QString TFormDir::Drive() const { return DriveComboBox1->currentData().toString(); }

bool TFormDir::DriveWritable() const {
  const QString root = Drive();
  const QStorageInfo storage(root);
  return !root.isEmpty() && QFileInfo(root).isReadable() && storage.isValid() &&
         !storage.isReadOnly();
}

void TFormDir::BtnOKClick() {
  Accepted = true;
  done(QDialog::Accepted);
}

void TFormDir::BtnCancelClick() {
  Accepted = false;
  done(QDialog::Rejected);
}

void TFormDir::showEvent(QShowEvent* event) {
  // Centred on the screen, not on the dialog that opened it.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  BtnOK->setFocus();
  QDialog::showEvent(event);
}

bool TFormDir::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (IsEnterKey(key)) {
      BtnOKClick();
      return true;
    }
    if (key == Qt::Key_Escape) {
      BtnCancelClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace varnel
