#pragma once
#include <QString>
#include <QtGlobal>

// What a file left by a program needs to tell a live program from one that ended.
namespace varnel {

qint64 CurrentProcessId();
// Whether process `pid` runs (also when it belongs to another user).
bool ProcessAlive(qint64 pid);
// Tells this boot from the last, so that a state file left by a collector before a reboot
// is not taken for a live one because its process number came round again; empty where
// the system does not say.
QString BootId();

}  // namespace varnel
