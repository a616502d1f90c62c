#include "app/main_view.h"

namespace varnel {

std::string_view ControlName(Control control) {
  switch (control) {
    case Control::Window: return "frmMain";
    case Control::File1: return "File1";
    case Control::Exit1: return "Exit1";
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
    case Control::Label1: return "Label1";
    case Control::Label2: return "Label2";
    case Control::Label3: return "Label3";
    case Control::Label4: return "Label4";
    case Control::Label5: return "Label5";
    case Control::Label6: return "Label6";
    case Control::Label7: return "Label7";
    case Control::Label8: return "Label8";
    case Control::Label9: return "Label9";
    case Control::spAddr: return "spAddr";
    case Control::EditFilename: return "EditFilename";
    case Control::SpBStartModem: return "SpBStartModem";
    case Control::LMDProgressFill1: return "LMDProgressFill1";
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
