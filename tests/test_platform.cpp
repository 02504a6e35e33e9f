#include "app/CommandLine.h"
#include "platform/InstanceGuard.h"
#include "platform/Prompts.h"
#include "platform/UserStore.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

namespace {

// The user's store file in a folder of its own, where QSettings looks for it
// from now on.
struct UserFolder {
  QTemporaryDir dir;
  UserFolder() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       dir.path());
  }
  QString file() const {
    return dir.filePath(QStringLiteral("TorvanelClient.conf"));
  }
  void setFile(const QByteArray &text) const {
    QFile f(file());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
};

} // namespace

class TestPlatform : public QObject {
  Q_OBJECT
private slots:
  void storeReadsBackWhatItWroteAndDigitsAsNumbers() {
    UserFolder home;
    SettingsUserStore store;
    QVERIFY(store.writeInt("Position", "Left", 10));
    QVERIFY(store.writeString("Belegt", "Belegt=", "12,17"));
    QCOMPARE(store.readInt("Position", "Left"), std::optional<int>(10));
    QCOMPARE(store.readString("Belegt", "Belegt="),
             std::optional<QString>("12,17"));
    QVERIFY(!store.readInt("Position", "Top"));
    QCOMPARE(store.readString("Belegt", "Frei"),
             std::optional<QString>(QString()));

    // A file edited by hand holds only texts; digits are a number, a word is
    // none.
    UserFolder edited;
    edited.setFile("[Position]\nLeft=400\nTop=vier\n");
    QCOMPARE(store.readInt("Position", "Left"), std::optional<int>(400));
    QVERIFY(!store.readInt("Position", "Top"));
  }

  void storeSaysWhenItCannotBeReadOrWritten() {
    SettingsUserStore store;
    // A file where the configuration folder belongs refuses every write, for
    // root as well.
    QTemporaryDir home;
    QVERIFY(QFile(home.filePath(".config")).open(QIODevice::WriteOnly));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       home.filePath(".config"));
    QVERIFY(!store.writeInt("Position", "Left", 10));
    QVERIFY(!store.writeString("Belegt", "Belegt=", "9"));

    // One line QSettings cannot parse, and none of the file's values is
    // trusted.
    UserFolder broken;
    broken.setFile("[Position]\nLeft=10\n[Belegt\n");
    QVERIFY(!store.readInt("Position", "Left"));
  }

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
