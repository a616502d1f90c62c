#pragma once
#include <QString>
#include <QStringList>
#include <vector>

#include "app/modules.h"

namespace varnel::test {

// Records module starts instead of starting processes.
class RecordingLauncher : public ModuleLauncher {
 public:
  struct Start {
    QString program;
    QStringList arguments;
  };
  bool StartDetached(const QString& program, const QStringList& arguments) override {
    if (program.isEmpty()) return false;
    starts.push_back({program, arguments});
    return true;
  }
  std::vector<Start> starts;
};

}  // namespace varnel::test
