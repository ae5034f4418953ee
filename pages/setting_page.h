#pragma once
// What every setting page shares: the store it reads and sends through, the
// prompt it reports with, the key filter that keeps Enter and Escape inside
// the page from closing the main window or pressing a button, and the two
// hooks through which the main window drives every page alike.
#include <QWidget>

namespace kolmara {

class CGlobalData;
class CMySocket;
class IPrompt;
struct Notification;

class CSettingPage : public QWidget {
  Q_OBJECT

 public:
  CSettingPage(CGlobalData& store, IPrompt& prompt, QWidget* parent = nullptr);

  // Puts the key filter on every control of the page. Runs again on every
  // show, so controls added later are covered too.
  void InstallKeyFilter();

  // The page's tab has just been selected: a page that shows device data
  // asks for it here, while the connection is up (OpenConnection).
  virtual void OnTabShown() {}
  // Every reply notification, after the main window has applied it to the
  // store and before it shows the reply's message. A page takes what it
  // shows and ignores the rest; a block or table in `n` is valid only
  // during the call. Pages never show a device's answer themselves.
  virtual void OnReply(const Notification& n) {}

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
