#pragma once
#include <QFont>
#include <QString>

// The window's font when the system's own dialog font is missing. Wine names "MS Shell Dlg"
// without having it, and Qt then draws every text in the first family it knows, a serif
// mathematics face whose tall lines double-space the memo.
namespace varnel {

// `wanted` when its family is there and drawn as itself; else, at the same size, the first
// sans-serif family present among those of Windows (Segoe UI, Tahoma, Microsoft Sans Serif,
// Arial) and the free ones a Linux machine running Wine has (DejaVu Sans, Liberation Sans,
// Noto Sans); `wanted` when none is.
QFont UsableUiFont(const QFont& wanted);

}  // namespace varnel
