#pragma once
// The About box: the program's version, made from its build date, and the
// release version that --version prints.
#include <QDialog>
#include <string_view>

namespace kolmara {

struct BuildDate {
  int year = 0;
  int month = 0;  // 1..12; 0 when the month name is unknown
  int day = 0;
};

// Reads a date in the compiler's __DATE__ form, "Feb 22 2024" (a day below
// 10 comes with two blanks: "Feb  2 2024").
BuildDate ParseBuildDate(std::string_view dateText);

// "KolmaraSetting, 버전 2024.02.22"
QString AboutVersionText(std::string_view dateText);

// "KolmaraSetting 1.0.0": the project's version, as --version prints it.
QString ProgramVersionText();

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr, std::string_view buildDate = __DATE__);
};

}  // namespace kolmara
