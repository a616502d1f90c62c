#include "dialogs/module_list_box.h"

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

// Entries of an item view; where the drag started in this program, a list box.
bool FromListBox(const QDropEvent* event) {
  if (event->source() && !qobject_cast<QListWidget*>(event->source())) return false;
  return event->mimeData() &&
         event->mimeData()->hasFormat(QStringLiteral("application/x-qabstractitemmodeldatalist"));
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

void ModuleListBox::dragEnterEvent(QDragEnterEvent* event) {
  if (FromListBox(event)) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void ModuleListBox::dragMoveEvent(QDragMoveEvent* event) {
  if (FromListBox(event)) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void ModuleListBox::dropEvent(QDropEvent* event) {
  if (!FromListBox(event)) {
    event->ignore();
    return;
  }
  // Copy, never move: the dragging view must not take the entry out of its own list.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  emit Dropped();
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
                        std::function<void()> add, std::function<void()> remove) {
  QObject::connect(chosen, &ModuleListBox::Dropped, chosen, [add] { add(); });
  QObject::connect(available, &ModuleListBox::Dropped, available,
                   [remove] { remove(); });
}

}  // namespace varnel
