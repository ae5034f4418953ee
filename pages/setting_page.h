#pragma once
// What every setting page shares: the store it reads and sends through, the
// prompt it reports with, and the key filter that keeps Enter and Escape
// inside the page from closing the main window or pressing a button.
#include <QWidget>

namespace kolmara {

class CGlobalData;
class CMySocket;
class IPrompt;

class CSettingPage : public QWidget {
  Q_OBJECT

 public:
  CSettingPage(CGlobalData& store, IPrompt& prompt, QWidget* parent = nullptr);

  // Puts the key filter on every control of the page. Runs again on every
  // show, so controls added later are covered too.
  void InstallKeyFilter();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

  // The connection when it is up, else nullptr: requests are sent only then.
  CMySocket* OpenConnection() const;

  CGlobalData& m_store;
  IPrompt& m_prompt;
};

}  // namespace kolmara
