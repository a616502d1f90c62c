#pragma once
#include <QString>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/collect_options.h"

// The collector as a Windows service, one per COM port, the counterpart of the systemd unit
// on Linux: `--install-service --port N` registers it with the Service Control Manager,
// `--remove-service --port N` stops and removes it (without --port: all of them), and the
// manager starts the program with `--service --port N`. Elsewhere the three words are
// refused with a pointer to the unit.
namespace varnel::cli {

enum class ServiceAction { None, Install, Remove, Run };

// Exit status of a service command the service manager refused (no right to install, no
// such service, ...); the reason is printed.
inline constexpr int kExitServiceFailed = 6;

// Takes --install-service, --remove-service and --service out of `args`, so the rest is
// parsed as any command line. `error` is set when more than one is given.
ServiceAction TakeServiceAction(std::vector<std::string>& args, std::string& error);
// "" or why `options` do not suit `action` (which options a service takes).
std::string CheckServiceOptions(ServiceAction action, const CollectOptions& options);

std::string ServiceName(int port);  // "VarnelCollectCOM3"
// A service's program log: several services share one program folder, so each writes its
// own log into the per-user data folder of the account it runs as.
QString ServiceLogPath(int port);
// What a service prints (every memo line, why its port could not be opened) goes to this
// file, the latest run's only: a service has no console. Falls back to stdout.
QString ServiceOutputPath(int port);
std::FILE* OpenServiceOutput(int port);
std::string ServiceHelpText();

int InstallService(const CollectOptions& options);
int RemoveService(const CollectOptions& options);
// Runs `collect` (the collector's whole run, returning its exit status) as the service the
// manager started; a stop from the manager releases Start as SIGTERM does on Linux.
int RunAsService(const CollectOptions& options, const std::function<int()>& collect);

}  // namespace varnel::cli
