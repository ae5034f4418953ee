#include "app/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "app/app_icon.h"
#include "kolmara_version.h"

namespace kolmara {

BuildDate ParseBuildDate(std::string_view dateText) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // Empty parts are skipped: the compiler pads a one-digit day with a blank,
  // and counting that gap as a part would read the day as 0 and the year as
  // the day.
  const QStringList parts = QString::fromLatin1(dateText.data(), static_cast<qsizetype>(dateText.size()))
                                .split(QLatin1Char(' '), Qt::SkipEmptyParts);
  BuildDate date;
  if (parts.size() > 0)
    for (int i = 0; i < 12; ++i)
      if (parts[0] == QLatin1String(kMonths[i])) {
        date.month = i + 1;
        break;
      }
  if (parts.size() > 1) date.day = parts[1].toInt();
  if (parts.size() > 2) date.year = parts[2].toInt();
  return date;
}

QString AboutVersionText(std::string_view dateText) {
  const BuildDate d = ParseBuildDate(dateText);
  return QString::fromUtf8("KolmaraSetting, 버전 ") +
         QString::asprintf("%04d.%02d.%02d", d.year, d.month, d.day);
}

QString ProgramVersionText() {
  return QStringLiteral("KolmaraSetting ") + QString::fromLatin1(kProjectVersion);
}

CAboutDlg::CAboutDlg(QWidget* parent, std::string_view buildDate) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(QString::fromUtf8("KolmaraSetting 정보"));
  setWindowIcon(ProgramIcon());

  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop);

  auto* version = new QLabel(AboutVersionText(buildDate), this);
  version->setObjectName(QStringLiteral("versionLabel"));
  auto* release = new QLabel(ProgramVersionText(), this);
  release->setObjectName(QStringLiteral("releaseLabel"));
  auto* notice = new QLabel(QStringLiteral("Copyright (C) Kolmara. All rights reserved."), this);
  notice->setObjectName(QStringLiteral("noticeLabel"));

  auto* texts = new QVBoxLayout;
  texts->addWidget(version);
  texts->addWidget(release);
  texts->addWidget(notice);
  texts->addStretch(1);

  auto* ok = new QPushButton(QString::fromUtf8("확인"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addSpacing(12);
  row->addLayout(texts, 1);
  row->addSpacing(12);
  row->addWidget(ok, 0, Qt::AlignTop);

  auto* outer = new QVBoxLayout(this);
  outer->addLayout(row);
  outer->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kolmara
