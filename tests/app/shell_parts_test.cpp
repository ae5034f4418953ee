// The resizer's arithmetic, the About box's version, and the prompt: real
// boxes as the administrator sees them, the recording double, the wait for
// open boxes and the current directory around file dialogs.
#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/about_dlg.h"
#include "app/dialog_resizer.h"
#include "kolmara_version.h"
#include "pages/prompt.h"
#include "tests/support/prompt_recording.h"

using namespace kolmara;

class ShellPartsTest : public QObject {
  Q_OBJECT

 private slots:
  void resizer_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("expected");
    const int restored = int(SizeKind::kRestored);
    // Recorded (10, 20) 100 x 50 in a 400 x 300 window.
    QTest::newRow("same size") << restored << QSize(400, 300) << QRect(10, 20, 100, 50);
    QTest::newRow("narrower") << restored << QSize(300, 300) << QRect(10, 20, 100, 50);
    QTest::newRow("smaller both") << restored << QSize(200, 100) << QRect(10, 20, 100, 50);
    QTest::newRow("double width") << restored << QSize(800, 300) << QRect(20, 20, 200, 50);
    QTest::newRow("double height") << restored << QSize(400, 600) << QRect(10, 40, 100, 100);
    QTest::newRow("one and a half") << restored << QSize(600, 450) << QRect(15, 30, 150, 75);
    QTest::newRow("truncated") << restored << QSize(439, 300) << QRect(10, 20, 109, 50);
    QTest::newRow("wider, lower") << restored << QSize(800, 200) << QRect(20, 20, 200, 50);
    QTest::newRow("maximised") << int(SizeKind::kMaximised) << QSize(1200, 900) << QRect(30, 60, 300, 150);
    QTest::newRow("minimised") << int(SizeKind::kMinimised) << QSize(800, 600) << QRect(10, 20, 100, 50);
  }
  void resizer() {
    QFETCH(int, kind);
    QFETCH(QSize, size);
    QFETCH(QRect, expected);
    QWidget owner;
    owner.resize(400, 300);
    auto* child = new QWidget(&owner);
    child->setGeometry(10, 20, 100, 50);
    auto* flat = new QWidget(&owner);  // no height: never touched
    flat->setGeometry(5, 5, 30, 0);
    auto* grandchild = new QWidget(child);  // not a direct child: never recorded
    grandchild->setGeometry(1, 2, 3, 4);

    DialogResizer resizer;
    resizer.RecordChildren(&owner);
    resizer.OnOwnerSize(SizeKind::kRestored, 0, 0);  // not positive: no reference yet
    QCOMPARE(resizer.ReferenceSize(), QSize(0, 0));
    resizer.OnOwnerSize(SizeKind::kRestored, 400, 300);
    QCOMPARE(resizer.ReferenceSize(), QSize(400, 300));

    resizer.OnOwnerSize(static_cast<SizeKind>(kind), size.width(), size.height());
    QCOMPARE(child->geometry(), expected);
    QCOMPARE(flat->geometry(), QRect(5, 5, 30, 0));
    QCOMPARE(grandchild->geometry(), QRect(1, 2, 3, 4));
    QCOMPARE(resizer.ReferenceSize(), QSize(400, 300));  // fixed after the first event
  }

  void minimisedLeavesTheLastLayout() {
    QWidget owner;
    auto* child = new QWidget(&owner);
    child->setGeometry(10, 20, 100, 50);
    DialogResizer resizer;
    resizer.RecordChildren(&owner);
    resizer.OnOwnerSize(SizeKind::kRestored, 400, 300);
    resizer.OnOwnerSize(SizeKind::kRestored, 800, 300);
    resizer.OnOwnerSize(SizeKind::kMinimised, 160, 30);
    QCOMPARE(child->geometry(), QRect(20, 20, 200, 50));
  }

  void aboutVersion_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("text");
    QTest::newRow("Feb 22 2024") << "Feb 22 2024" << QString::fromUtf8("KolmaraSetting, 버전 2024.02.22");
    // The compiler pads a one-digit day with a second blank.
    QTest::newRow("Feb  2 2024") << "Feb  2 2024" << QString::fromUtf8("KolmaraSetting, 버전 2024.02.02");
    QTest::newRow("Jan 1 2000") << "Jan 1 2000" << QString::fromUtf8("KolmaraSetting, 버전 2000.01.01");
    QTest::newRow("Dec 31 1999") << "Dec 31 1999" << QString::fromUtf8("KolmaraSetting, 버전 1999.12.31");
  }
  void aboutVersion() {
    QFETCH(QString, date);
    QFETCH(QString, text);
    const QByteArray latin = date.toLatin1();
    QCOMPARE(AboutVersionText(std::string_view(latin.constData(), latin.size())), text);
  }

  void aboutBoxShowsTheVersion() {
    CAboutDlg about(nullptr, "Feb 22 2024");
    QCOMPARE(about.windowTitle(), QString::fromUtf8("KolmaraSetting 정보"));
    QVERIFY(about.findChild<QLabel*>("versionLabel")->text().endsWith(QStringLiteral("2024.02.22")));
    // The release version is the one --version prints (packaging_version_KolmaraSetting).
    QCOMPARE(about.findChild<QLabel*>("releaseLabel")->text(),
             QStringLiteral("KolmaraSetting ") + QString::fromLatin1(kolmara::kProjectVersion));
    // This build's own date reads as a real date.
    const BuildDate built = ParseBuildDate(__DATE__);
    QVERIFY(built.year >= 2024 && built.month >= 1 && built.month <= 12 && built.day >= 1 && built.day <= 31);
  }

  void qtMessageBoxLooksAsExpected() {
    CQtPrompt prompt;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      box->button(QMessageBox::Ok)->click();
    });
    prompt.Message(nullptr, QString::fromUtf8("서버에 연결할 수 없습니다."));
    QCOMPARE(title, QStringLiteral("KolmaraSetting"));
    QCOMPARE(text, QString::fromUtf8("서버에 연결할 수 없습니다."));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons.size(), 1);
  }

  void qtQuestionIsYesOrNo_data() {
    QTest::addColumn<int>("press");  // 0 Yes, 1 No, 2 Escape
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes") << 0 << true;
    QTest::newRow("no") << 1 << false;
    QTest::newRow("escape") << 2 << false;
  }
  void qtQuestionIsYesOrNo() {
    QFETCH(int, press);
    QFETCH(bool, answer);
    CQtPrompt prompt;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttonCount = 0;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      icon = box->icon();
      buttonCount = box->buttons().size();
      if (press == 0) box->button(QMessageBox::Yes)->click();
      if (press == 1) box->button(QMessageBox::No)->click();
      if (press == 2) QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(prompt.Question(nullptr, QStringLiteral("?")), answer);
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(buttonCount, 2);
  }

  void recordingPromptAnswersFromItsQueues() {
    CRecordingPrompt prompt;
    prompt.QueueAnswer(true);
    QVERIFY(prompt.Question(nullptr, QStringLiteral("first")));
    QVERIFY(!prompt.Question(nullptr, QStringLiteral("second")));  // empty queue: No
    QCOMPARE(prompt.Questions(), (QStringList{"first", "second"}));
    prompt.QueueFile(QStringLiteral("/tmp/a.csv"));
    QCOMPARE(prompt.OpenFile(nullptr, QStringLiteral("CSV (*.csv)")), std::optional<QString>("/tmp/a.csv"));
    QCOMPARE(prompt.SaveFile(nullptr, QStringLiteral("CSV (*.csv)"), "wol.csv"), std::optional<QString>());
    QCOMPARE(prompt.FileFilters().size(), 2);
    prompt.Message(nullptr, QStringLiteral("one"));
    prompt.Message(nullptr, QStringLiteral("two"));
    QCOMPARE(prompt.Messages(), (QStringList{"one", "two"}));
    QCOMPARE(prompt.OpenBoxes(), 0);
  }

  void fileDialogsPutTheCurrentDirectoryBack() {
    QTemporaryDir before, inside;
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(before.path()));
    CRecordingPrompt prompt;
    prompt.ChangeDirectoryInDialogs(inside.path());
    prompt.QueueFile(QStringLiteral("x.bin"));
    QCOMPARE(prompt.OpenFile(nullptr, QStringLiteral("*.bin")), std::optional<QString>("x.bin"));
    QCOMPARE(QDir::currentPath(), QDir(before.path()).canonicalPath());
    prompt.SaveFile(nullptr, QStringLiteral("*.csv"), QStringLiteral("a.csv"));
    QCOMPARE(QDir::currentPath(), QDir(before.path()).canonicalPath());
    QDir::setCurrent(saved);
  }

  void whenNoBoxOpenWaitsForTheOutermostBox() {
    CRecordingPrompt prompt;
    QStringList order;
    prompt.DuringNextMessage([&] {
      order << "outer open";
      prompt.DuringNextMessage([&] {
        prompt.WhenNoBoxOpen([&] { order << "action"; });
        order << "inner open";
      });
      prompt.Message(nullptr, QStringLiteral("inner"));
      order << "inner closed";
    });
    prompt.Message(nullptr, QStringLiteral("outer"));
    order << "outer closed";
    QCOMPARE(order, (QStringList{"outer open", "inner open", "inner closed", "action", "outer closed"}));

    bool now = false;
    prompt.WhenNoBoxOpen([&] { now = true; });
    QVERIFY(now);
  }
};

QTEST_MAIN(ShellPartsTest)
#include "shell_parts_test.moc"
