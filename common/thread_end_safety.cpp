#include "common/thread_end_safety.h"

#include <QByteArray>
#include <QtGlobal>

namespace varnel {

void PrepareForEndingThreads() {
#ifdef Q_OS_WIN
  // Qt reads this once, at the first expression it compiles. An operator's own setting wins.
  if (!qEnvironmentVariableIsSet("QT_ENABLE_REGEXP_JIT")) qputenv("QT_ENABLE_REGEXP_JIT", QByteArrayLiteral("0"));
#endif
}

}  // namespace varnel
