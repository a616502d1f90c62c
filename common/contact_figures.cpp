#include "common/contact_figures.h"

namespace varnel {

const char* ContactResultName(ContactResult result) {
  switch (result) {
    case ContactResult::Complete: return "complete";
    case ContactResult::Partial: return "partial";
    case ContactResult::Dropped: return "dropped";
    case ContactResult::DeviceChanged: return "device changed";
    case ContactResult::NoCommunication: return "no communication";
    case ContactResult::FilesNotWritten: return "files not written";
    case ContactResult::Stopped: return "stopped";
    case ContactResult::FallbackFolder: return "files in fallback folder";
  }
  return "dropped";
}

std::optional<ContactResult> ParseContactResult(const std::string& name) {
  for (ContactResult r : {ContactResult::Complete, ContactResult::Partial, ContactResult::Dropped,
                          ContactResult::DeviceChanged, ContactResult::NoCommunication,
                          ContactResult::FilesNotWritten, ContactResult::Stopped,
                          ContactResult::FallbackFolder}) {
    if (name == ContactResultName(r)) return r;
  }
  return std::nullopt;
}

}  // namespace varnel
