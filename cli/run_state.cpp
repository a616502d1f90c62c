#include "cli/run_state.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <map>

#include "common/process_identity.h"

namespace varnel::cli {

namespace {

QString Now() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")); }

std::map<QString, QString> ReadFields(const QString& path) {
  std::map<QString, QString> fields;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return fields;
  for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq > 0) fields[line.left(eq)] = line.mid(eq + 1);
  }
  return fields;
}

std::string DescribeFile(const QString& path, int port, bool& alive) {
  auto f = ReadFields(path);
  const QString com = QStringLiteral("COM%1: ").arg(port);
  if (f.find(QStringLiteral("state")) == f.end()) {
    alive = false;
    return (com + QStringLiteral("unreadable state file ") + path).toStdString();
  }
  const QString boot = f[QStringLiteral("boot")];
  const QString thisBoot = BootId();
  const bool sameBoot = boot.isEmpty() || thisBoot.isEmpty() || boot == thisBoot;
  const QString state = f[QStringLiteral("state")];
  alive = state != QLatin1String("stopped") && sameBoot &&
          ProcessAlive(f[QStringLiteral("pid")].toLongLong());

  QString line = com;
  if (alive) {
    line += state + QStringLiteral(" since ") + f[QStringLiteral("since")];
  } else if (state == QLatin1String("stopped")) {
    line += QStringLiteral("not running (stopped at ") + f[QStringLiteral("since")] + ')';
  } else {
    line += QStringLiteral("not running (ended without stopping; it was ") + state +
            QStringLiteral(" since ") + f[QStringLiteral("since")] + ')';
  }
  const QString last = f[QStringLiteral("last-call")];
  line += last.isEmpty() ? QStringLiteral("; no call yet")
                         : QStringLiteral("; last call: ") + last + QStringLiteral(" at ") +
                               f[QStringLiteral("last-call-time")];
  if (alive) line += QStringLiteral(" (pid ") + f[QStringLiteral("pid")] + ')';
  return line.toStdString();
}

}  // namespace

QString RunStateFile(const QString& folder, int port) {
  return folder + QStringLiteral("/varnel-collect-COM%1.state").arg(port);
}

void RunState::Publish(const QString& path) {
  path_ = path;
  QDir().mkpath(QFileInfo(path).absolutePath());
  Write();
}

void RunState::Set(const std::string& state) {
  if (state == state_ && !since_.isEmpty()) return;
  state_ = state;
  since_ = Now();
  Write();
}

void RunState::SetLastCall(const std::string& result) {
  lastCall_ = result;
  lastCallTime_ = Now();
  Write();
}

void RunState::Stopped() {
  stopped_ = true;
  Set("stopped");
}

void RunState::Write() {
  if (path_.isEmpty()) return;
  if (since_.isEmpty()) since_ = Now();
  QString text;
  text += QStringLiteral("pid=%1\n").arg(stopped_ ? 0 : CurrentProcessId());
  text += QStringLiteral("boot=") + BootId() + '\n';
  text += QStringLiteral("state=") + QString::fromStdString(state_) + '\n';
  text += QStringLiteral("since=") + since_ + '\n';
  text += QStringLiteral("last-call=") + QString::fromStdString(lastCall_) + '\n';
  text += QStringLiteral("last-call-time=") + lastCallTime_ + '\n';
  // A state file that cannot be written leaves the collection as it is.
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(text.toUtf8());
  file.commit();
}

std::vector<std::string> ReadRunStates(const QString& folder, int port, bool& running) {
  std::vector<std::pair<int, QString>> files;
  if (port > 0) {
    if (QFile::exists(RunStateFile(folder, port))) files.emplace_back(port, RunStateFile(folder, port));
  } else {
    static const QRegularExpression name(QStringLiteral("^varnel-collect-COM(\\d+)\\.state$"));
    for (const QString& entry : QDir(folder).entryList({QStringLiteral("*.state")}, QDir::Files)) {
      const auto m = name.match(entry);
      if (m.hasMatch()) files.emplace_back(m.captured(1).toInt(), folder + '/' + entry);
    }
    std::sort(files.begin(), files.end());
  }
  running = !files.empty();
  std::vector<std::string> lines;
  for (const auto& [p, path] : files) {
    bool alive = false;
    lines.push_back(DescribeFile(path, p, alive));
    running = running && alive;
  }
  return lines;
}

}  // namespace varnel::cli
