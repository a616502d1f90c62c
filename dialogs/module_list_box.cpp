#include "dialogs/module_list_box.h"

#include <algorithm>

#include <QDataStream>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace varnel {

namespace {

// Entries as wide as the list and no wider, so that a long name is shortened where the
// view's elide mode says instead of running under a horizontal scroll bar.
class ViewWideDelegate : public QStyledItemDelegate {
 public:
  explicit ViewWideDelegate(QListWidget* view) : QStyledItemDelegate(view), view_(view) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.setWidth(std::min(s.width(), view_->viewport()->width()));
    return s;
  }

 private:
  QListWidget* view_;
};

// The entries a drag carries and the list it came from (a drag knows its source only while
// it runs inside this program's own drag loop; the data carry it everywhere).
const QString kRowsFormat = QStringLiteral("application/x-varnel-module-rows");

struct DraggedRows {
  quintptr From = 0;
  QList<int> Rows;
};

DraggedRows RowsOf(const QMimeData* data) {
  DraggedRows dragged;
  if (!data || !data->hasFormat(kRowsFormat)) return dragged;
  QDataStream in(data->data(kRowsFormat));
  in >> dragged.From >> dragged.Rows;
  if (in.status() != QDataStream::Ok) return {};
  return dragged;
}

}  // namespace

ModuleListBox::ModuleListBox(QWidget* parent) : QListWidget(parent) {
  setDragEnabled(true);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::CopyAction);
  setDropIndicatorShown(false);
  setTextElideMode(Qt::ElideMiddle);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setItemDelegate(new ViewWideDelegate(this));
}

QMimeData* ModuleListBox::mimeData(const QList<QListWidgetItem*>& items) const {
  QMimeData* data = QListWidget::mimeData(items);
  if (!data) return data;
  QList<int> rows;
  for (const QListWidgetItem* item : items) rows << row(item);
  std::sort(rows.begin(), rows.end());
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out << reinterpret_cast<quintptr>(this) << rows;
  data->setData(kRowsFormat, bytes);
  return data;
}

ModuleListBox::DropKind ModuleListBox::KindOf(const QDropEvent* event) const {
  const DraggedRows dragged = RowsOf(event->mimeData());
  if (dragged.Rows.isEmpty()) return DropKind::None;
  if (Partner && dragged.From == reinterpret_cast<quintptr>(Partner)) return DropKind::FromPartner;
  if (Reorders && dragged.From == reinterpret_cast<quintptr>(this)) return DropKind::Within;
  return DropKind::None;
}

void ModuleListBox::dragEnterEvent(QDragEnterEvent* event) {
  if (KindOf(event) == DropKind::None) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void ModuleListBox::dragMoveEvent(QDragMoveEvent* event) {
  if (KindOf(event) == DropKind::None) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void ModuleListBox::dropEvent(QDropEvent* event) {
  const DropKind kind = KindOf(event);
  if (kind == DropKind::None) {
    event->ignore();
    return;
  }
  // Copy, never move: the dragging view must not take the entry out of its own list; the
  // owner changes the lists.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  const QList<int> rows = RowsOf(event->mimeData()).Rows;
  if (kind == DropKind::FromPartner) {
    emit DroppedFromPartner(rows);
    return;
  }
  if (rows.size() != 1 || rows.first() >= count()) return;
  // Dropped on the upper half of an entry: before it; on the lower half or below the last
  // entry: after it.
  const QPoint at = event->position().toPoint();
  const QModelIndex target = indexAt(at);
  int before = count();
  if (target.isValid()) {
    before = target.row() + (at.y() > visualRect(target).center().y() ? 1 : 0);
  }
  const int from = rows.first();
  const int to = before > from ? before - 1 : before;
  if (to != from) emit MovedWithin(from, to);
}

QSize ModuleListBox::sizeHint() const {
  const QSize usual = QListWidget::sizeHint();
  return PreferredWidth > 0 ? QSize(PreferredWidth, usual.height()) : usual;
}

bool ModuleListBox::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    if (!index.isValid()) {
      QToolTip::hideText();
      event->ignore();
      return true;
    }
    QString tip = index.data(Qt::DisplayRole).toString();
    const QString path = PathOfRow ? PathOfRow(index.row()) : QString();
    if (!path.isEmpty()) tip += QLatin1Char('\n') + path;
    QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(index));
    return true;
  }
  return QListWidget::viewportEvent(event);
}

void ConnectModuleDrops(ModuleListBox* available, ModuleListBox* chosen,
                        std::function<void(const QList<int>& rows)> add,
                        std::function<void(int row)> remove,
                        std::function<void(int from, int to)> move) {
  available->Partner = chosen;
  chosen->Partner = available;
  chosen->Reorders = true;
  available->Reorders = false;
  QObject::connect(chosen, &ModuleListBox::DroppedFromPartner, chosen, std::move(add));
  QObject::connect(available, &ModuleListBox::DroppedFromPartner, available,
                   [remove](const QList<int>& rows) {
                     // From the back, so that the rows still name the entries dragged.
                     for (auto it = rows.rbegin(); it != rows.rend(); ++it) remove(*it);
                   });
  QObject::connect(chosen, &ModuleListBox::MovedWithin, chosen, std::move(move));
}

}  // namespace varnel
