#pragma once
// The main window: eight setting pages on a tab strip, and the reply
// dispatch, the one place where the device's answers reach the administrator.
#include <QDialog>

#include "app/dialog_resizer.h"
#include "connection/qt_notify.h"

class QTabWidget;
class QToolButton;

namespace kolmara {

class CGlobalData;
class IPrompt;
class CSettingPage;

inline constexpr int kTabCount = 8;

class CKolmaraSettingDlg : public QDialog {
  Q_OBJECT

 public:
  CKolmaraSettingDlg(CGlobalData& store, IPrompt& prompt, QWidget* parent = nullptr);
  ~CKolmaraSettingDlg() override;

  void OnTabSelChange(int index);
  void OnReplyNotification(const Notification& n);
  void ShowAbout();

  // True once the dispatch has ended the window (each ending counts once).
  bool HasEnded() const { return m_bEnded; }
  QTabWidget* TabControl() const { return m_pTabs; }
  CSettingPage* Page(int index) const;
  DialogResizer& Resizer() { return m_resizer; }

 protected:
  void customEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreatePages();
  void PlaceTabControl();
  void RequestEnd();

  CGlobalData& m_store;
  IPrompt& m_prompt;
  QtNotifyTarget m_target{this};
  DialogResizer m_resizer;
  QTabWidget* m_pTabs = nullptr;
  QToolButton* m_pAbout = nullptr;
  CSettingPage* m_pages[kTabCount] = {};  // in tab order; owned by the tab strip
  bool m_bEnded = false;
  bool m_bConnectionEnded = false;
};

}  // namespace kolmara
