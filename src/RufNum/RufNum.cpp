#include "RufNum/RufNum.h"

#include "RufNum/BringToFront.h"
#include "RufNum/ClickFilter.h"
#include "RufNum/Logo.h"
#include "RufNum/OuterPlacement.h"
#include "RufNum/TorvanelApplication.h"
#include "RufNum/Tray.h"
#include "RufNum/report/ReportWindow.h"
#include "core/link/ServerLink.h"
#include "core/services/Beeper.h"
#include "core/services/Prompts.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

// The resources live in this static library; the linker would drop them unasked.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

// Size limits of the outer window, frame included, as the stored placement is.
constexpr QSize kMinimumOuter(600, 200);
constexpr QSize kMaximumOuter(800, 800);
constexpr int kPanelHeight = 40;
constexpr int kHeadlineHeight = 24;
constexpr int kRowHeight = 17;
// Label column first, then number, alarm, emergency, charges, remark.
constexpr int kColumnWidths[] = {64, 85, 130, 118, 68, 288};

QFont formFont() {
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    return f;
}

// In every role a label's text may take: on the window's button-coloured background it is
// drawn in the button text colour. A style sheet does the same, but loads the whole style
// sheet machinery for two coloured labels.
void setTextColor(QLabel* label, const QColor& color) {
    QPalette p = label->palette();
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        p.setColor(role, color);
    label->setPalette(p);
}

QLabel* placedLabel(QWidget* parent, int x, int y) {
    auto* l = new QLabel(parent);
    l->move(x, y);
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

TNummernForm::TNummernForm(const QString& commandLineText, Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_commandLineText(commandLineText), m_services(services),
      m_link(new ServerLink(services.connectTimeoutMs)),
      m_client(m_link, commandLineText, services, *this) {
    initResources();
    buildComponents();
    // Added as pictures, not as files: for a name without a suffix the icon would load the
    // MIME database, and the regular expressions of its patterns, to learn what they are.
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(loadBuiltInPicture(QStringLiteral(":/MAINICON"), "png")));
    icon.addPixmap(QPixmap::fromImage(loadBuiltInPicture(QStringLiteral(":/MAINICON16"), "png")));
    m_tray = new Tray(icon, m_commandLineText, this);
    setWindowTitle(m_commandLineText.isEmpty()
                       ? QStringLiteral("TorvanelClient")
                       : QStringLiteral("TorvanelClient  ") + m_commandLineText);
    setWindowIcon(icon);
    ReadSettings();
    wireObjects();
    updateTrayIcon();
    m_client.start();
}

TNummernForm::~TNummernForm() = default;

void TNummernForm::ReadSettings() {
    const Settings& settings = m_client.settings();
    m_link->setHostAndPort(settings.host(), settings.port());
    const QImage logo = loadLogoPicture(settings.logoFile());
    if (!logo.isNull())
        Image1->setPixmap(QPixmap::fromImage(logo));
    m_placement->place(settings.placement());
}

void TNummernForm::wireObjects() {
    connect(m_link, &ServerWire::statusChanged, this,
            [this](const QString& text) { setCaption(Label2, text); });
    Watch& watch = m_client.watch();
    connect(&watch, &Watch::alarmOffChanged, this, [this](bool off) {
        setCaption(Label1, off ? QStringLiteral(" ALARM = AUS !") : QString());
        // Its background covers the logo; without a notice the logo shows whole.
        Label1->setVisible(off);
    });
    for (auto signal : {&Watch::alarmRaised, &Watch::alarmEnded})
        connect(&watch, signal, this, &TNummernForm::updateTrayIcon);
    for (auto signal : {&Watch::serverSilent, &Watch::serverAnswering})
        connect(&watch, signal, this, &TNummernForm::updateTrayIcon);
    connect(m_link, &ServerWire::connectedChanged, this, &TNummernForm::updateTrayIcon);
    connect(m_tray, &Tray::quitRequested, this, [this] { m_client.B1Click(); });
    connect(m_tray, &Tray::restoreRequested, this, &TNummernForm::TrayIconMessage);
    connect(m_tray, &Tray::reportRequested, this, &TNummernForm::openReport);
}

void TNummernForm::buildComponents() {
    setFont(formFont());
    m_placement = new OuterPlacement(*this, kMinimumOuter, kMaximumOuter);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    NummernText = new QLabel(QStringLiteral("Rufnummern Zuordnen"), this);
    NummernText->setObjectName(QStringLiteral("NummernText"));
    NummernText->setAlignment(Qt::AlignCenter);
    NummernText->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    NummernText->setFixedHeight(kHeadlineHeight);
    QFont headline = font();
    headline.setPixelSize(16);
    NummernText->setFont(headline);
    setTextColor(NummernText, Qt::blue);

    NummernGrid = new QTableView(this);
    NummernGrid->setObjectName(QStringLiteral("NummernGrid"));
    NummernGrid->setModel(&m_client.table().model());
    NummernGrid->setCornerButtonEnabled(false);
    NummernGrid->setWordWrap(false);
    NummernGrid->setTextElideMode(Qt::ElideNone);
    NummernGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    NummernGrid->horizontalHeader()->setSectionsClickable(false);
    NummernGrid->horizontalHeader()->setHighlightSections(false);
    NummernGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    NummernGrid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    NummernGrid->verticalHeader()->setMinimumSectionSize(kRowHeight);
    NummernGrid->verticalHeader()->setHighlightSections(false);
    NummernGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    NummernGrid->horizontalHeader()->setFixedHeight(kRowHeight + 2);
    fitColumnsToTitles();
    // The titles come with the first table.
    connect(&m_client.table().model(), &QAbstractItemModel::modelReset, this,
            &TNummernForm::fitColumnsToTitles);
    setupNummernGrid();
    NummernGrid->setAccessibleName(QStringLiteral("Rufnummern"));
    NummernGrid->setAccessibleDescription(
        QStringLiteral("Je Verbindung Ruf/Zi.-Nummer, Alarm Nummer, Not Nummer, Gebühr und "
                       "Bemerkung. Eingabe oder F2 bearbeitet, Strg+S speichert."));
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(kPanelHeight);
    // The alarm-off notice is drawn over the logo, on the panel's colour: it matters more.
    Label1 = placedLabel(Panel1, 424, 8);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont alarm = font();
    alarm.setPixelSize(16);
    alarm.setBold(true);
    Label1->setFont(alarm);
    setTextColor(Label1, Qt::red);
    // The labels' texts are their accessible names, so that a change is read out; the
    // descriptions say what they are about.
    Label1->setAccessibleDescription(QStringLiteral("Alarmhinweis"));
    Label2 = placedLabel(Panel1, 16, 16);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAccessibleDescription(QStringLiteral("Verbindung zum Server"));
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(QStringLiteral("Logo"));
    Image1->setGeometry(383, 2, 156, 25);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap::fromImage(loadBuiltInPicture(QStringLiteral(":/logo.bmp"), "bmp")));
    Button1 = new QPushButton(QStringLiteral("Speichern"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleDescription(
        QStringLiteral("Sendet die geänderte Tabelle an den Server (Strg+S)"));
    Button1->setGeometry(221, 2, 130, 25);
    Label1->setAutoFillBackground(true);
    Label1->raise();
    Label1->hide();

    layout->addWidget(NummernText);
    layout->addWidget(NummernGrid, 1);
    layout->addWidget(Panel1);

    connect(Button1, &QPushButton::clicked, this, [this] { m_client.Button1Click(); });
    // Anywhere in the window, an open editor included: what it holds goes with the save.
    auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(save, &QShortcut::activated, Button1, &QPushButton::click);
    auto* report = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_J), this);
    connect(report, &QShortcut::activated, this, &TNummernForm::openReport);
    new ClickFilter(NummernText, [this] { NummernTextClick(); });
}

void TNummernForm::fitColumnsToTitles() {
    // The widths as designed suit the designer's font; with a larger one a title would be cut,
    // so its column grows and the grid scrolls rather than the window.
    QHeaderView* titles = NummernGrid->horizontalHeader();
    for (int c = 0; c < table::FieldCount; ++c)
        NummernGrid->setColumnWidth(c, qMax(kColumnWidths[c + 1], titles->sectionSizeHint(c)));
    QHeaderView* labels = NummernGrid->verticalHeader();
    labels->setFixedWidth(qMax(kColumnWidths[0], labels->sizeHint().width()));
}

void TNummernForm::openReport() {
    if (!m_report)
        m_report = std::make_unique<ReportWindow>(m_commandLineText, m_client.journal().filePath(),
                                                  m_client.changeLog().filePath(),
                                                  m_services.prompts, m_services.now);
    m_report->open();
}

void TNummernForm::setCaption(QLabel* label, const QString& text) {
    // The status labels size themselves to their text, as a label on a panel should.
    label->setText(text);
    label->adjustSize();
}

void TNummernForm::FormCreate() {
    if (auto* app = qobject_cast<TorvanelApplication*>(QCoreApplication::instance()))
        app->setExceptionHandler(
            [this](const QString& message) { m_client.AppException(message); });
}

void TNummernForm::setGridColor(const QColor& color) {
    QPalette p = NummernGrid->palette();
    p.setColor(QPalette::Base, color);
    NummernGrid->setPalette(p);
}

QRect TNummernForm::placement() const {
    return m_placement->outer();
}

void TNummernForm::closeEvent(QCloseEvent* event) {
    // The window is never destroyed by closing it; it goes to the tray.
    event->ignore();
    m_client.FormClose();
}

void TNummernForm::bringForward() {
    bringToFront(*this);
}

void TNummernForm::endProgram() {
    m_tray->RemoveTrayIcon();
    emit terminateRequested();
}

void TNummernForm::HideToTray() {
    // Where the desktop offers no tray there would be no way back to a hidden window.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void TNummernForm::alertBegin() {
    setGridColor(Qt::red);
    bringForward();
}

void TNummernForm::alertEnd() {
    setGridColor(palette().color(QPalette::Base));
}

void TNummernForm::updateTrayIcon() {
    const Watch& watch = m_client.watch();
    m_tray->setState(!watch.alarmNst().isEmpty() || watch.isServerSilent() ? Tray::State::Alarm
                     : !m_link->isConnected()                              ? Tray::State::Offline
                                                                           : Tray::State::Normal);
}

void TNummernForm::TrayIconMessage() {
    // Coming back from the tray always brings a fresh table.
    m_client.reload();
    bringForward();
}
