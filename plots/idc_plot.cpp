// idc-plot: draws the plot of a .idc data file into a PNG without a window, the same plot
// the Data view shows. Exits with 0, 1 when the file cannot be read or the picture not
// written, 2 on a wrong command line.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QPixmap>
#include <charconv>
#include <cstdio>
#include <string>

#include "files/file_error.h"
#include "files/idc_reader.h"
#include "plots/idc_chart.h"

namespace {

constexpr const char* kUsage =
    "usage: idc-plot [--size WIDTHxHEIGHT] FILE.IDC OUT.png\n"
    "  every channel against time in the file's units; events as points along the\n"
    "  bottom, time markers along the top. Default size 1200x700.\n";

bool ParseSize(const std::string& text, int& w, int& h) {
  const auto x = text.find('x');
  if (x == std::string::npos) return false;
  const auto a = std::from_chars(text.data(), text.data() + x, w);
  const auto b = std::from_chars(text.data() + x + 1, text.data() + text.size(), h);
  return a.ec == std::errc() && b.ec == std::errc() && a.ptr == text.data() + x &&
         b.ptr == text.data() + text.size() && w >= 200 && h >= 150 && w <= 10000 && h <= 10000;
}

}  // namespace

int main(int argc, char** argv) {
  int width = 1200, height = 700;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--size" && i + 1 < argc) {
      if (!ParseSize(argv[++i], width, height)) {
        std::fprintf(stderr, "idc-plot: --size takes WIDTHxHEIGHT\n%s", kUsage);
        return 2;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "idc-plot: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // No window: the offscreen platform unless the caller chose one.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  varnel::IdcFile file;
  try {
    file = varnel::ReadIdcFile(files[0]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "idc-plot: %s: %s\n", files[0].c_str(), e.what());
    return 1;
  }
  varnel::IdcChart chart = varnel::BuildIdcChart(file);
  QChartView view(chart.Chart);  // owns the chart from here
  view.setRenderHint(QPainter::Antialiasing);
  view.resize(width, height);
  const QPixmap picture = view.grab();
  if (!picture.save(QString::fromLocal8Bit(files[1].c_str()), "PNG")) {
    std::fprintf(stderr, "idc-plot: cannot write %s\n", files[1].c_str());
    return 1;
  }
  return 0;
}
