#pragma once
#include <QListWidget>
#include <QString>
#include <functional>

// One of the two module lists (available, chosen): entries can be dragged onto the other
// list, or within the chosen list to another place; long names are shortened in the middle
// (where two modules of one maker usually differ), and the tooltip of an entry gives its
// whole name and program path.
namespace varnel {

class ModuleListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit ModuleListBox(QWidget* parent = nullptr);

  // The program path of the module shown in `row`, for the tooltip.
  std::function<QString(int row)> PathOfRow;
  // The width the list asks for where there is room (0: the usual one); it may still
  // shrink to its minimum on a small screen.
  int PreferredWidth = 0;
  // The list's order means something (the run order): a drag within it moves the entry.
  // Elsewhere a drag within the list does nothing.
  bool Reorders = false;
  // The other list of the pair, the only one whose entries are taken.
  ModuleListBox* Partner = nullptr;
  QSize sizeHint() const override;

 signals:
  // The entries `rows` of the other list of the pair were dropped here. The owner changes
  // the lists: the drop adds nothing itself.
  void DroppedFromPartner(const QList<int>& rows);
  // Entry `from` of this list was dropped so that it is to stand at index `to` (only in a
  // list with Reorders).
  void MovedWithin(int from, int to);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  // The usual data of the entries, and which list and rows they are.
  QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;

 private:
  // What a drop here would do: take entries of the partner, move one within this list, or
  // nothing.
  enum class DropKind { None, FromPartner, Within };
  DropKind KindOf(const QDropEvent* event) const;
};

// Joins the two lists: entries dragged from `available` onto `chosen` are added (`add`),
// an entry dragged from `chosen` onto `available` is taken out (`remove`), and one dragged
// within `chosen` moves there (`move`). A drag within `available` does nothing.
void ConnectModuleDrops(ModuleListBox* available, ModuleListBox* chosen,
                        std::function<void(const QList<int>& rows)> add,
                        std::function<void(int row)> remove,
                        std::function<void(int from, int to)> move);

}  // namespace varnel
