#include "app/main_view.h"

namespace varnel {

std::string_view ControlName(Control control) {
  switch (control) {
    case Control::Window: return "frmMain";
    case Control::muFile: return "muFile";
    case Control::muExit: return "muExit";
    case Control::PortSetup1: return "PortSetup1";
    case Control::muPort: return "muPort";
    case Control::Modem1: return "Modem1";
    case Control::Echo1: return "Echo1";
    case Control::Options1: return "Options1";
    case Control::muConfig: return "muConfig";
    case Control::muLoggerConfig: return "muLoggerConfig";
    case Control::muShowLogfile: return "muShowLogfile";
    case Control::Info1: return "Info1";
    case Control::pmuShow: return "pmuShow";
    case Control::pmuMinimize: return "pmuMinimize";
    case Control::pmuClose: return "pmuClose";
    case Control::LbIdentity: return "LbIdentity";
    case Control::LbRecordNumber: return "LbRecordNumber";
    case Control::LbRecordStart: return "LbRecordStart";
    case Control::LbRecordShare: return "LbRecordShare";
    case Control::LbAvailableModules: return "LbAvailableModules";
    case Control::LbAddress: return "LbAddress";
    case Control::LbAction: return "LbAction";
    case Control::LbBattery: return "LbBattery";
    case Control::LbChosenModules: return "LbChosenModules";
    case Control::spAddr: return "spAddr";
    case Control::EditFilename: return "EditFilename";
    case Control::SpBStartModem: return "SpBStartModem";
    case Control::ActivityBar: return "ActivityBar";
    case Control::ChBShowTime: return "ChBShowTime";
    case Control::btnStart: return "btnStart";
    case Control::btnReadRec: return "btnReadRec";
    case Control::btnCancel: return "btnCancel";
    case Control::btnClose: return "btnClose";
    case Control::btnAdd: return "btnAdd";
    case Control::btnDel: return "btnDel";
    case Control::btnClear: return "btnClear";
    case Control::AboutProduct: return "AboutProduct";
    case Control::AboutVersion: return "AboutVersion";
    case Control::AboutCaption: return "AboutCaption";
  }
  return {};
}

}  // namespace varnel
