// Writes the program's own icon as hicolor PNGs for the desktop:
//   kolmara_icon_export OUTDIR NAME SIZE...
// makes OUTDIR/SIZExSIZE/apps/NAME.png for each SIZE. The drawing is the
// window's (ProgramIconPixmap), so the menu and the window show one icon.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "app/app_icon.h"

int main(int argc, char** argv) {
  // Drawing text needs the font database, hence a GUI application, but no
  // display: the offscreen platform is enough.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QStringList args = application.arguments();
  if (args.size() < 4) {
    std::fprintf(stderr, "usage: kolmara_icon_export OUTDIR NAME SIZE...\n");
    return 2;
  }
  const QString outDir = args[1];
  const QString name = args[2];
  for (const QString& sizeText : args.mid(3)) {
    bool ok = false;
    const int size = sizeText.toInt(&ok);
    if (!ok || size < 8 || size > 1024) {
      std::fprintf(stderr, "kolmara_icon_export: bad size '%s'\n", qPrintable(sizeText));
      return 2;
    }
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(outDir).arg(size);
    const QString file = QStringLiteral("%1/%2.png").arg(dir, name);
    const QPixmap pixmap = kolmara::ProgramIconPixmap(size);
    if (!QDir().mkpath(dir) || pixmap.size() != QSize(size, size) || !pixmap.save(file, "PNG")) {
      std::fprintf(stderr, "kolmara_icon_export: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
