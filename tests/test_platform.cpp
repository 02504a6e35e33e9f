#include "app/CommandLine.h"
#include "platform/InstanceGuard.h"
#include "platform/Prompts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestPlatform : public QObject {
  Q_OBJECT
private slots:
  void commandLineTextIsKeptAsGiven() {
    char prog[] = "TorvanelClient", a[] = "Haus", b[] = " 2 ", c[] = "-style";
    char *argv[] = {prog, a, b, c};
    QCOMPARE(commandLineText(4, argv), QStringLiteral("Haus  2  -style"));
    QCOMPARE(commandLineText(1, argv), QString());
  }

  void oneInstancePerText() {
    InstanceGuard first(QStringLiteral("A"));
    QVERIFY(first.tryAcquire());
    InstanceGuard same(QStringLiteral("A"));
    QVERIFY(!same.tryAcquire());

    // Texts are compared exactly; any length and any character make a valid
    // name.
    for (const QString &other :
         {QStringLiteral("a"), QStringLiteral("A "), QString(),
          QStringLiteral("../x/\\y:*?"), QString(5000, QChar(0xFC))}) {
      InstanceGuard g(other);
      QVERIFY2(g.tryAcquire(), qPrintable(other.left(20)));
    }

    // A refused start asks the running instance to come forward.
    QSignalSpy asked(&first, &InstanceGuard::activationRequested);
    QTimer::singleShot(0, [&] { QVERIFY(same.askRunningToActivate(2000)); });
    QTRY_COMPARE(asked.count(), 1);

    // The guard goes with the instance.
    {
      InstanceGuard gone(QStringLiteral("B"));
      QVERIFY(gone.tryAcquire());
    }
    InstanceGuard again(QStringLiteral("B"));
    QVERIFY(again.tryAcquire());
  }

  void serverTextInARealBoxIsPlainAndBounded() {
    const QString alarm =
        QStringLiteral("Alarm von Nst. <b>1</b>") + QString(10000, u'7');
    QString shown, details;
    Qt::TextFormat format = Qt::RichText;
    QTimer::singleShot(0, [&] {
      auto *box =
          qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      QVERIFY(box);
      shown = box->text();
      details = box->detailedText();
      format = box->textFormat();
      box->button(QMessageBox::Cancel)->click();
    });
    MessageBoxPrompts prompts;
    QCOMPARE(
        prompts.ask(alarm, QStringLiteral(" A C H T U N G "), mb::OkCancel),
        mb::IdCancel);
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(shown.startsWith("Alarm von Nst. <b>1</b>") && shown.size() < 1000);
    QCOMPARE(details, alarm);
  }
};

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Lock files and sockets of our own, apart from any client running on this
  // desktop; the short name leaves room within the length limit of a socket
  // path.
  QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/tp-XXXXXX"));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  qputenv("TMPDIR", QFile::encodeName(runtime.path()));
  QApplication app(argc, argv);
  TestPlatform t;
  return QTest::qExec(&t, argc, argv);
}
#include "test_platform.moc"
