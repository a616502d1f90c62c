#pragma once
#include <QListWidget>
#include <QString>
#include <functional>

// One of the two module lists (available, chosen): entries can be dragged onto the other
// list, long names are shortened in the middle (where two modules of one maker usually
// differ), and the tooltip of an entry gives its whole name and program path.
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
  QSize sizeHint() const override;

 signals:
  // Entries of a list box were dropped here, from either list. The owner changes the
  // lists: the drop adds nothing itself.
  void Dropped();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool viewportEvent(QEvent* event) override;
};

// Joins the two lists: a drop on `chosen` acts as ">>" (`add`), a drop on `available` as
// "<<" (`remove`), whichever list the drag came from.
void ConnectModuleDrops(ModuleListBox* available, ModuleListBox* chosen,
                        std::function<void()> add, std::function<void()> remove);

}  // namespace varnel
