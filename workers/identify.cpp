#include "workers/identify.h"

#include "link/bus.h"
#include "link/link_state.h"

namespace varnel {

bool IdentifyLogger(std::uint8_t address, std::array<std::uint8_t, 6>& identity) {
  SetRetryMode(false);
  for (int attempt = 0; attempt < kIdentifyAttempts; ++attempt) {
    if (BusReadIdentity(address, identity.data()) == kBusOk) {
      SetRetryMode(true);
      return true;
    }
  }
  return false;
}

}  // namespace varnel
