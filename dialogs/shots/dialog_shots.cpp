// Pictures of the program's dialogs, for reviewing their layout in each language.
// Usage: dialog-shots OUTDIR [LANGUAGE-BASE]   (0 English, 1000 Dutch, 2000 German)
// Works in a throw-away store ($XDG_CONFIG_HOME is pointed at a temporary folder).
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/facade_link.h"
#include "app/main_logic.h"
#include "app/registered_device_store.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "dialogs/alerts_page.h"
#include "dialogs/dialog_set.h"
#include "dialogs/float_edit.h"
#include "dialogs/form_add_dev.h"
#include "dialogs/form_config.h"
#include "dialogs/form_dir.h"
#include "dialogs/form_log_file.h"
#include "dialogs/form_logger_config.h"
#include "dialogs/form_message.h"
#include "lang/lang.h"
#include "lang/text_ids.h"

namespace {

class QuietView : public varnel::MainView {
 public:
  void AppendMemo(const std::string&) override {}
};

// Shows a dialog modally through `open`, saves a picture of it as `file` and closes it.
bool Shoot(const QString& file, const std::function<void()>& open,
           const std::function<void(QDialog*)>& prepare = {}) {
  bool saved = false;
  QTimer::singleShot(300, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    if (prepare) prepare(dialog);
    QApplication::processEvents();
    saved = dialog->grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    dialog->done(0);
  });
  open();
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialog-shots OUTDIR [LANGUAGE-BASE]\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const int language = argc > 2 ? std::atoi(argv[2]) : 0;
  QDir().mkpath(out);
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
  qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
  QDir().mkpath(home.path() + "/program");
  varnel::RegistryKey(varnel::kSettingsKey).WriteInt("Language", language);

  // Two registered loggers, one with every option set.
  varnel::DeviceValues v;
  v.Description = "Pump station east";
  v.ReadActualRec = false;
  v.ReadFromMonth = 2;
  v.ReadFromYear = 2026;
  v.OffsetCorr = true;
  v.P1Val = varnel::OffsetText(12.5);
  v.P2Val = varnel::OffsetText(-3);
  v.PUnit = 1;
  v.CustomUnit = "mbar";
  v.WriteConfig = v.WriteText = v.NewID = v.NewComment = true;
  v.ConfigFile = home.path() + "/cfx/well7.cfx";
  v.ID = "Well 7";
  v.Comment = "Replaced sensor P2\r\nafter the flood";
  v.LastContact = "09.12.2026 03:15:00";
  varnel::RegisteredDeviceStore store;
  store.Write("40123", v);
  store.Write("40777", varnel::DeviceValues{});

  varnel::FacadeLink link;
  QuietView view;
  varnel::LogicEnvironment env;
  env.ProgramPath = home.path() + "/program/Varnel.exe";
  env.Link = &link;
  varnel::MainLogic logic(view, env);
  logic.FormCreate();
  logic.Log().AddToLogFile("Waiting for call from VTQ-Datacollector...");
  logic.Log().AddToLogFile("Modem connected to device");
  logic.Log().AddToLogFile("SN 40123");
  varnel::DialogSet dialogs(nullptr, logic);

  const QString suffix = language == varnel::kEnglishBase ? "en"
                         : language == varnel::kDutchBase ? "nl"
                         : language == varnel::kGermanBase ? "de"
                                                           : "xx";
  auto name = [&](const char* what) { return out + "/" + what + "_" + suffix + ".png"; };
  bool ok = Shoot(name("read_write_options"), [&] { dialogs.ShowLoggerConfig(); });
  // The same while a call resets the entry under a typed offset: the notice below the panel.
  ok &= Shoot(name("read_write_options_changed"), [&] { dialogs.ShowLoggerConfig(); },
              [&](QDialog* d) {
                static_cast<varnel::TFormLoggerConfig*>(d)->FeP1->setText("14");
                store.Reset("40123", QDate(2026, 12, 10), "10.12.2026 03:20:00");
              });
  store.Write("40123", v);
  // The longest message: an entry changed meanwhile, told when the dialog closes.
  ok &= Shoot(name("message_box_long"), [&] {
    using namespace varnel;  // the text ids
    auto tx = [](int id) { return QString::fromStdString(LoadText(id)); };
    dialogs.FormMessage().ShowMessageBox(
        tx(kTextStoreChanged) + " 40123 " + tx(kTextStoreChanged2) + "\n" + tx(kTextKeptAsTyped) +
            " " + tx(kTextOffsetCorrection) + "\n" + tx(kTextNowAsStored) + " " +
            tx(kTextDescription) + ", " + tx(kTextReadoutOptions) + ", " + tx(kTextWriteConfig) +
            ", " + tx(kTextLastContact) + "\n" + tx(kTextChangesSaved),
        tx(kTextOptionsTitle), mkOk);
  });
  ok &= Shoot(name("configuration_general"), [&] { dialogs.ShowConfigForm(); });
  // The alerts page in every language (its labels are the longest in German), filled in and
  // with a test's outcome, as an operator sees it after "Send a test alert".
  dialogs.OnTestAlert = [](const varnel::AlertSettings&) { return std::vector<std::string>{}; };
  ok &= Shoot(name("configuration_alerts"), [&] { dialogs.ShowConfigForm(); }, [](QDialog* d) {
    auto* form = static_cast<varnel::TFormConfig*>(d);
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    varnel::AlertsPage& page = *form->TabSheet3;
    page.EdMail->setText(QStringLiteral("smtp://mail.example.org:587"));
    page.EdTo->setText(QStringLiteral("ops@example.org, duty@example.org"));
    page.EdCommand->setText(QStringLiteral("/usr/local/bin/page-duty"));
    page.CbDigest->setCurrentIndex(8);
    using namespace varnel;  // the text ids
    auto tx = [](int id) { return QString::fromStdString(LoadText(id)); };
    page.LbTestResult->setText(tx(kTextChannelSystemLog) + ": " + tx(kTextChannelWritten) + "\n" +
                               tx(kTextChannelCommand) + ": exit 0\n" + tx(kTextChannelMail) +
                               ": " + tx(kTextChannelSentTo) + " ops@example.org, duty@example.org");
  });
  if (language == varnel::kEnglishBase) {
    ok &= Shoot(name("configuration_modem"), [&] { dialogs.ShowConfigForm(); },
                [](QDialog* d) { static_cast<varnel::TFormConfig*>(d)->PageControl1->setCurrentIndex(1); });
    ok &= Shoot(name("log_viewer"), [&] { dialogs.ShowLogFile(); });
    ok &= Shoot(name("folder_chooser"), [&] {
      dialogs.FormDir().SetFolder(home.path());
      dialogs.FormDir().exec();
    });
    ok &= Shoot(name("add_device"), [&] {
      dialogs.FormAddDev().SetDeviceList({"40123"});
      dialogs.FormAddDev().exec();
    });
    ok &= Shoot(name("message_box"), [&] {
      dialogs.FormMessage().ShowMessageBox(
          QString::fromStdString(varnel::LoadText(varnel::kTextDeleteQuestion)),
          QString::fromStdString(varnel::LoadText(varnel::kTextDeleteTitle)), varnel::mkYesNo);
    });
  }
  logic.FormClose();
  return ok ? 0 : 1;
}
