#include "app/kolmara_setting_dlg.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "pages/account_page.h"
#include "pages/centerid_page.h"
#include "pages/firmware_page.h"
#include "pages/network_page.h"
#include "pages/productinfo_page.h"
#include "pages/prompt.h"
#include "pages/reply_messages_logic.h"
#include "pages/update_page.h"
#include "pages/web_page.h"
#include "pages/wol_page.h"

namespace kolmara {
namespace {

template <class Page>
CSettingPage* MakePage(CGlobalData& store, IPrompt& prompt) {
  return new Page(store, prompt);
}

// The eight pages in tab order: the only place the window names them.
struct PageEntry {
  const char* caption;
  const char* className;  // the page's object name
  CSettingPage* (*make)(CGlobalData&, IPrompt&);
};
const PageEntry kPageList[kTabCount] = {
    {"Product Summary", "CProductinfoPage", &MakePage<CProductinfoPage>},
    {"Change ID/Password", "CAccountPage", &MakePage<CAccountPage>},
    {"View ID Management", "CCenteridPage", &MakePage<CCenteridPage>},
    {"Wake On Lan", "CWolPage", &MakePage<CWolPage>},
    {"Network/DDNS Setting", "CNetworkPage", &MakePage<CNetworkPage>},
    {"Kolmara Online Update", "CUpdatePage", &MakePage<CUpdatePage>},
    {"Web Page Upload", "CWebPage", &MakePage<CWebPage>},
    {"Kolmara Offline Update", "CFirmwarePage", &MakePage<CFirmwarePage>},
};

// The window's size in dialog units, turned into pixels of its font the way
// dialog templates are: a unit is a quarter of the average character width
// across and an eighth of the character height down.
QRect FromDialogUnits(const QFontMetrics& fm, int x, int y, int width, int height) {
  const int bx = fm.averageCharWidth(), by = fm.height();
  return QRect(x * bx / 4, y * by / 8, width * bx / 4, height * by / 8);
}

}  // namespace

CKolmaraSettingDlg::CKolmaraSettingDlg(CGlobalData& store, IPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_store(store), m_prompt(prompt) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QString::fromUtf8(kProgramName));
  setWindowIcon(ProgramIcon());
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);

  m_pTabs = new QTabWidget(this);
  m_pTabs->setObjectName(QStringLiteral("tabControl"));

  // The window system owns the system menu here, so About sits in the
  // corner of the tab strip; the menu item's full caption is its tooltip.
  m_pAbout = new QToolButton(m_pTabs);
  m_pAbout->setObjectName(QStringLiteral("aboutButton"));
  m_pAbout->setText(QString::fromUtf8("정보(&A)..."));
  m_pAbout->setToolTip(QString::fromUtf8("KolmaraSetting 정보(&A)...").remove(QLatin1Char('&')));
  m_pAbout->setAutoRaise(true);
  m_pTabs->setCornerWidget(m_pAbout, Qt::TopRightCorner);
  connect(m_pAbout, &QToolButton::clicked, this, &CKolmaraSettingDlg::ShowAbout);

  CreatePages();
  PlaceTabControl();
  // Only the tab strip is a direct child; the pages live inside it and are
  // never recorded.
  m_resizer.RecordChildren(this);

  if (store.m_pConnection) {
    store.m_pConnection->SetNotifyWindow(&m_target);
    if (store.m_pConnection->IsConnected()) {
      // The tab shown first asks for its data, as a tab does when selected.
      m_pages[m_pTabs->currentIndex()]->OnTabShown();
    } else {
      // The connection ended while the login window still took the
      // notifications, and it ignores their end: without this the window
      // would stay open with no device behind it and never say so.
      m_target.Post(Notification{kNotifyConnectionEnded, 0, std::nullopt});
    }
  }
}

CKolmaraSettingDlg::~CKolmaraSettingDlg() {
  // Replace the target first: the disconnect posts a last notification.
  if (CMySocket* connection = m_store.m_pConnection.get()) {
    connection->SetNotifyWindow(nullptr);
    if (connection->IsConnected()) connection->Disconnect();
  }
}

void CKolmaraSettingDlg::CreatePages() {
  for (int i = 0; i < kTabCount; ++i) {
    m_pages[i] = kPageList[i].make(m_store, m_prompt);
    m_pages[i]->setObjectName(QString::fromLatin1(kPageList[i].className));
    m_pTabs->addTab(m_pages[i], QString::fromLatin1(kPageList[i].caption));
  }
  m_pTabs->setCurrentIndex(0);
  // Connected only now, so building the strip sends no request.
  connect(m_pTabs, &QTabWidget::currentChanged, this, &CKolmaraSettingDlg::OnTabSelChange);
}

void CKolmaraSettingDlg::PlaceTabControl() {
  const QFontMetrics fm(font());
  QRect window = FromDialogUnits(fm, 0, 0, 612, 358);
  QRect tabs = FromDialogUnits(fm, 4, 6, 605, 344);
  // Every caption must be readable without scrolling the strip: widen both
  // when the font's captions and the About button need more room.
  const int needed = m_pTabs->tabBar()->sizeHint().width() + m_pAbout->sizeHint().width() + 16;
  if (needed > tabs.width()) {
    window.setWidth(window.width() + needed - tabs.width());
    tabs.setWidth(needed);
  }
  resize(window.size());
  m_pTabs->setGeometry(tabs);
}

CSettingPage* CKolmaraSettingDlg::Page(int index) const {
  return index >= 0 && index < kTabCount ? m_pages[index] : nullptr;
}

void CKolmaraSettingDlg::OnTabSelChange(int index) {
  if (CSettingPage* page = Page(index)) page->OnTabShown();
  setFocus(Qt::OtherFocusReason);
}

void CKolmaraSettingDlg::customEvent(QEvent* event) {
  if (ReplyEvent* reply = AsReplyEvent(event)) {
    OnReplyNotification(reply->notification());
    return;
  }
  QDialog::customEvent(event);
}

void CKolmaraSettingDlg::OnReplyNotification(const Notification& n) {
  // A connection ends once. The end can reach this window twice when it
  // comes just as the window takes the notifications over (the receive
  // thread's notice and the one posted above); tell it only once.
  if (n.code == kNotifyConnectionEnded) {
    if (m_bConnectionEnded) return;
    m_bConnectionEnded = true;
  }
  // The store first, so that every page reads the reply's data from it.
  ApplyNotificationToStore(n, m_store);
  for (CSettingPage* page : m_pages) page->OnReply(n);
  const ReplyOutcome outcome = DescribeReply(n.code, n.value);
  if (!outcome.message.isEmpty()) m_prompt.Message(this, outcome.message);
  if (outcome.endsWindow) RequestEnd();
}

void CKolmaraSettingDlg::RequestEnd() {
  // A box opened earlier (by a page, or by this dispatch one level up) is
  // still running its own loop: end only once the last of them is closed.
  QPointer<CKolmaraSettingDlg> self(this);
  m_prompt.WhenNoBoxOpen([self] {
    if (!self || self->m_bEnded) return;
    self->m_bEnded = true;
    self->done(QDialog::Accepted);
  });
}

void CKolmaraSettingDlg::ShowAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CKolmaraSettingDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const SizeKind kind = isMinimized() ? SizeKind::kMinimised
                        : isMaximized() ? SizeKind::kMaximised
                                        : SizeKind::kRestored;
  m_resizer.OnOwnerSize(kind, width(), height());
}

void CKolmaraSettingDlg::keyPressEvent(QKeyEvent* event) {
  // A tab switch leaves the focus on the window itself, so an Enter meant
  // for a page would otherwise end the program and drop every edit not yet
  // applied. Enter does nothing here; Escape and the close box still end it.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace kolmara
