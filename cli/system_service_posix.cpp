#include <cstdio>

#include "cli/system_service.h"

namespace varnel::cli {

namespace {

int NotHere() {
  std::fprintf(stderr,
               "varnel-collect: services are the Windows way; here each modem gets the systemd "
               "unit varnel-collect@N.service (man varnel-collect)\n");
  return kExitUsage;
}

}  // namespace

int InstallService(const CollectOptions&) { return NotHere(); }
int RemoveService(const CollectOptions&) { return NotHere(); }
int RunAsService(const CollectOptions&, const std::function<int()>&) { return NotHere(); }

}  // namespace varnel::cli
