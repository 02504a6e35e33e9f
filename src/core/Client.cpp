#include "core/Client.h"

#include "core/link/ServerWire.h"
#include "core/services/Beeper.h"
#include "core/services/Prompts.h"

#include <algorithm>
#include <utility>

namespace {
const QString kCaption = QStringLiteral(" A C H T U N G ");
const QString kTitle = QStringLiteral("TorvanelClient");
} // namespace

Client::Client(ServerWire* link, const QString& commandLineText, const Services& services,
               ClientWindow& window, QObject* parent)
    : QObject(parent), m_services(services), m_window(window), m_link(*link),
      m_settings({services.programDir, services.configDirs}, commandLineText, services.store),
      m_table(m_link, services.prompts), m_watch(m_link, m_services, window),
      m_journal(journalPath(services.dataDir, commandLineText), services.now),
      m_changeLog(changeLogPath(services.dataDir, commandLineText), services.login, services.now) {
    link->setParent(this);
    m_settings.ReadSettings();
    Timer2.setInterval(services.tableRequestIntervalMs);
    connect(&Timer2, &QTimer::timeout, this, &Client::Timer2Timer);
    // Direct calls, in this order: a frame has had its whole effect before the next one.
    connect(&m_link, &ServerWire::connectedChanged, this, [this](bool up) {
        if (!up)
            return;
        m_table.connectionMade();
        Timer2.start();
    });
    connect(&m_link, &ServerWire::tableReceived, this, [this](const QByteArray& frame) {
        Timer2.stop();
        m_table.tableArrived(frame);
        m_watch.tableArrived();
    });
    connect(&m_link, &ServerWire::heartbeatReceived, &m_watch, &Watch::heartbeatAnswered);
    m_journal.follow(m_watch, m_link);
    m_changeLog.follow(m_table);
    // Not from inside the socket's read handler or a save's questions, where the failing line
    // may be written.
    const auto tell = [this](const QString& message) {
        m_services.prompts.ask(message, kCaption, mb::Ok | mb::IconExclamation);
    };
    connect(&m_journal, &AlarmJournal::cannotWrite, this, tell, Qt::QueuedConnection);
    connect(&m_changeLog, &ChangeLog::cannotWrite, this, tell, Qt::QueuedConnection);
}

void Client::start() {
    m_journal.clientStarted();
    m_link.OpenConnection();
}

void Client::Timer2Timer() {
    m_table.requestTable();
}

void Client::reload() {
    // With the link down the request goes nowhere; the window still comes back.
    m_table.requestTable();
}

bool Client::SaveSettingsAndTable() {
    const bool outermost = !m_table.saveRunning();
    const QString settingsProblem = m_settings.WriteSettings(m_window.placement());
    // The administrator must hear that the settings file refuses our entries; the operator
    // saves often and must not hear it each time, and his table goes to the server regardless.
    // Marked before the box opens, so that a save from within the box stays quiet too.
    if (!settingsProblem.isEmpty() && !std::exchange(m_settingsProblemShown, true))
        m_services.prompts.ask(settingsProblem, kCaption, mb::Ok | mb::IconExclamation);
    // The grid takes an editor's text when the editor closes; a save started from the close
    // box or the tray leaves it open, and what the operator typed must go with the save.
    if (outermost)
        m_window.commitOpenEditor();
    const bool saved = m_table.SaveTable();
    if (outermost && m_endAfterSave != EndAfterSave::No) {
        const EndAfterSave after = std::exchange(m_endAfterSave, EndAfterSave::No);
        if (saved || after == EndAfterSave::Always)
            end();
        else
            m_window.bringForward();
    }
    return saved;
}

void Client::Button1Click() {
    if (SaveSettingsAndTable() && m_settings.inSysTry())
        m_window.HideToTray();
}

void Client::FormClose() {
    // A refused save leaves edits in the grid; a hidden window would hide them from the
    // operator who has to mend or send them.
    if (SaveSettingsAndTable())
        m_window.HideToTray();
}

void Client::B1Click() {
    m_services.beeper.beep(666, 200);
    const int answer = m_services.prompts.ask(QStringLiteral("   TorvanelClient  Beenden ???  "),
                                              QStringLiteral(" A C H T U N G ! "),
                                              mb::OkCancel | mb::IconHand | mb::DefButton2);
    if (answer != mb::IdOk)
        return;
    if (m_table.saveRunning()) {
        endAfterSave(EndAfterSave::IfSaved);
        return;
    }
    // A refused save would lose the operator's edits if we ended now; stay, and show the
    // window so they can be mended or sent.
    if (!SaveSettingsAndTable()) {
        m_window.bringForward();
        return;
    }
    end();
}

void Client::AppException(const QString& message) {
    m_watch.holdBusy();
    m_services.prompts.ask(message, kTitle, mb::Ok | mb::IconHand);
    if (m_table.saveRunning()) {
        endAfterSave(EndAfterSave::Always);
        return;
    }
    SaveSettingsAndTable();
    end();
}

void Client::desktopEnds() {
    if (m_ended)
        return;
    if (m_table.saveRunning()) {
        endAfterSave(EndAfterSave::Always);
        return;
    }
    writeSettingsUntold();
    end();
}

void Client::desktopMayEnd() {
    writeSettingsUntold();
}

void Client::writeSettingsUntold() {
    // A settings file that refuses our entries is not told: whoever would read the box is
    // leaving, and it would hold up the end.
    static_cast<void>(m_settings.WriteSettings(m_window.placement()));
}

void Client::endAfterSave(EndAfterSave when) {
    m_endAfterSave = std::max(m_endAfterSave, when);
}

void Client::end() {
    if (std::exchange(m_ended, true))
        return;
    // The end closes any box still open, answered by nobody: an alarm it showed was not
    // acknowledged, the end line stays the journal's last, and a journal failing now is told
    // to nobody. No tick opens a box meanwhile.
    m_watch.holdBusy();
    m_watch.disconnect(&m_journal);
    m_link.disconnect(&m_journal);
    m_journal.disconnect(this);
    m_journal.clientEnded(m_table.hasUnsentEdits());
    m_window.endProgram();
}
