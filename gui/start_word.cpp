#include "gui/start_word.h"

namespace varnel {

bool StartRequested(const QStringList& arguments) {
  const QString joined = (arguments.join(QLatin1Char(' ')) + QLatin1Char(' ')).toUpper();
  return joined.contains(QLatin1String("START"));
}

}  // namespace varnel
