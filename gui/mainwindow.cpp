#include "gui/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/startup.h"
#include "app/viewchoices.h"
#include "conversion/guilock.h"
#include "gui/aboutpanel.h"
#include "gui/iqpage.h"
#include "gui/metadatapage.h"
#include "gui/signalprocessingpage.h"
#include "gui/cellstyle.h"
#include "gui/configurationarea.h"
#include "gui/conversionbridge.h"
#include "gui/dialogs.h"
#include "gui/filespage.h"
#include "gui/statuslogmodel.h"

namespace {

// The main panel at the smallest window: the pages take 640 px of the width and everything
// but the status area's 200 px of the height; the configuration area and the status area keep
// their size when the window grows.
constexpr int kPagesWidth = 640;
constexpr int kConfigurationWidth = 380;
constexpr int kUpperHeight = 510;
constexpr int kStatusHeight = 200;
constexpr int kConvertColumnWidth = 220;

}  // namespace

MainWindow::MainWindow(Session &session, Dialogs &dialogs, QWidget *parent)
    : QMainWindow(parent), session(session), dialogs(dialogs)
{
    setWindowTitle(kWindowTitle);
    // The icon the desktop entry installs, or the same picture drawn here.
    setWindowIcon(QIcon::fromTheme("quelvor", QIcon(LogoPixmap(64, 2.0))));
    bridge = new ConversionBridge(session, this);
    redrawTimer = new QTimer(this);
    redrawTimer->setSingleShot(true);
    redrawTimer->setInterval(0);
    connect(redrawTimer, &QTimer::timeout, this, &MainWindow::redrawPending);

    stack = new QStackedWidget;
    panel = buildPanel();
    about = new AboutPanel;
    stack->addWidget(panel);
    stack->addWidget(about);
    setCentralWidget(stack);
    fitMinimumSize();
    resize(minimumSize());
    connect(about, &AboutPanel::closeRequested, this, &MainWindow::showPanel);
    addShortcuts();

    session.onChange = [this](const SessionNotice &notice) { sessionChanged(notice); };
    refreshConvertButton();
    applyLocks();
}

MainWindow::~MainWindow()
{
    session.onChange = nullptr;
    delete bridge;  // waits for a running worker before the widgets go
}

QWidget *MainWindow::buildPanel()
{
    tabs = new QTabWidget;
    tabs->setObjectName("TAB");
    tabs->setAccessibleName("Pages");
    filesPage = new FilesPage(session, dialogs);
    metadataPage = new MetadataPage(session);
    iqPage = new IqPage(session);
    signalProcessingPage = new SignalProcessingPage(session);
    tabs->addTab(filesPage, "Files");
    tabs->addTab(metadataPage, "Metadata Analysis");
    tabs->addTab(iqPage, "IQ Analysis");
    tabs->addTab(signalProcessingPage, "Signal Processing");
    connect(tabs, &QTabWidget::currentChanged, this,
            [this](int index) { static_cast<void>(Gui_SetActiveTab(this->session, index)); });
    configurationArea = new ConfigurationArea(session, dialogs);
    configurationArea->setMinimumWidth(std::max(300, configurationArea->minimumSizeHint().width()));

    verticalSplitter = new QSplitter(Qt::Horizontal);
    verticalSplitter->setObjectName("SPLITTER_VERTICAL");
    verticalSplitter->setChildrenCollapsible(false);
    verticalSplitter->addWidget(tabs);
    verticalSplitter->addWidget(configurationArea);
    verticalSplitter->setStretchFactor(0, 1);
    verticalSplitter->setStretchFactor(1, 0);
    verticalSplitter->setSizes({kPagesWidth, kConfigurationWidth});

    horizontalSplitter = new QSplitter(Qt::Vertical);
    horizontalSplitter->setObjectName("SPLITTER_HORIZONTAL");
    horizontalSplitter->setChildrenCollapsible(false);
    horizontalSplitter->addWidget(verticalSplitter);
    horizontalSplitter->addWidget(buildStatusArea());
    horizontalSplitter->setStretchFactor(0, 1);
    horizontalSplitter->setStretchFactor(1, 0);
    horizontalSplitter->setSizes({kUpperHeight, kStatusHeight});

    auto *mainPanel = new QWidget;
    mainPanel->setObjectName("PANEL");
    auto *layout = new QVBoxLayout(mainPanel);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(horizontalSplitter);
    return mainPanel;
}

QWidget *MainWindow::buildStatusArea()
{
    statusView = new QTableView;
    statusView->setObjectName("TABLE_STATUS");
    statusView->setAccessibleName("Status");
    statusModel = new StatusLogModel(session, statusView);
    statusView->setModel(statusModel);
    statusView->verticalHeader()->hide();
    // Rows of the designed 20 pixels, or more when a large font needs it.
    statusView->verticalHeader()->setDefaultSectionSize(std::max(20, statusView->fontMetrics().height() + 6));
    statusView->horizontalHeader()->resizeSection(0, 26);
    const int timeWidth = statusView->fontMetrics().horizontalAdvance("00:00:00") + 16;
    statusView->horizontalHeader()->resizeSection(1, std::max(70, timeWidth));
    statusView->horizontalHeader()->setStretchLastSection(true);
    statusView->setSelectionMode(QAbstractItemView::NoSelection);
    statusView->setShowGrid(false);
    statusView->setWordWrap(false);
    auto *statusBox = new QGroupBox("Status");
    auto *statusLayout = new QVBoxLayout(statusBox);
    statusLayout->setContentsMargins(4, 4, 4, 4);
    statusLayout->addWidget(statusView);

    convertButton = new QPushButton;
    convertButton->setObjectName("BUTTON_CONVERT");
    convertButton->setToolTip("Converts every job of the list (Ctrl+Return)");
    convertButton->setMinimumHeight(64);
    QFont font = convertButton->font();
    font.setBold(true);
    convertButton->setFont(font);
    aboutButton = new QPushButton(style()->standardIcon(QStyle::SP_MessageBoxInformation), "About");
    aboutButton->setObjectName("BUTTON_ABOUT");
    connect(convertButton, &QPushButton::clicked, this, &MainWindow::convert);
    connect(aboutButton, &QPushButton::clicked, this, &MainWindow::showAbout);

    auto *column = new QVBoxLayout;
    column->addSpacing(8);
    column->addWidget(convertButton);
    column->addStretch();
    column->addWidget(aboutButton);
    auto *area = new QWidget;
    area->setMinimumHeight(120);
    auto *layout = new QHBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(statusBox, 1);
    auto *columnWidget = new QWidget;
    // Wide enough for the longer of the button's two texts.
    const QFontMetrics bold(font);
    const int textWidth = std::max(bold.horizontalAdvance(kConvertStart), bold.horizontalAdvance(kConvertAbort));
    columnWidget->setFixedWidth(std::max(kConvertColumnWidth, textWidth + 40));
    columnWidget->setLayout(column);
    layout->addWidget(columnWidget);
    return area;
}

void MainWindow::addShortcuts()
{
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, configurationArea,
            &ConfigurationArea::save);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this), &QShortcut::activated, this,
            &MainWindow::convert);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), this), &QShortcut::activated, this,
            &MainWindow::convert);
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, filesPage, &FilesPage::addSelectedFiles);
    // Ctrl+Q closes as the window's close button does, with its question about unsaved edits.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this, &QWidget::close);
}

void MainWindow::showPlaced()
{
    const WindowPlacement &window = session.views.window;
    if (session.views.restoreWindow) setGeometry(window.left, window.top, window.width, window.height);
    if (session.views.restoreWindow && window.maximized) {
        showMaximized();
    } else {
        show();
    }
}

WindowPlacement MainWindow::placement() const
{
    const QRect geometry = normalGeometry().isValid() ? normalGeometry() : this->geometry();
    const QList<QScreen *> screens = QGuiApplication::screens();
    const int monitor = static_cast<int>(screens.indexOf(screen()));
    return {.monitorId = std::max(monitor, 0),
            .left = geometry.x(),
            .width = geometry.width(),
            .top = geometry.y(),
            .height = geometry.height(),
            .maximized = isMaximized()};
}

void MainWindow::addFiles(const QStringList &paths)
{
    QStringList absolute;
    for (const QString &path : paths) absolute << QFileInfo(path).absoluteFilePath();
    filesPage->addFiles(absolute);
}

void MainWindow::convert() { bridge->convert(); }

void MainWindow::showAbout() { stack->setCurrentWidget(about); }

void MainWindow::showPanel() { stack->setCurrentWidget(panel); }

// The window is never smaller than the designed size, nor than its controls need: with a large
// font they need more, and what they need changes with what they show.
void MainWindow::fitMinimumSize()
{
    setMinimumSize(layout()->minimumSize().expandedTo(QSize(kMinimumWindowWidth, kMinimumWindowHeight)));
}

bool MainWindow::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::LayoutRequest) fitMinimumSize();
    return handled;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    bridge->abortAndFinish();
    if (App_CloseSession(session, Dialogs_Confirm(dialogs, this), Dialogs_AskName(dialogs, this), placement())) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::sessionChanged(const SessionNotice &notice)
{
    if (notice.view == SessionChange::StatusLog) statusModel->showAppendedRows();
    switch (notice.rows) {
    case RowChange::All: pending.set(static_cast<size_t>(notice.view)); break;
    case RowChange::Reveal: reveals.push_back(notice); break;
    default: applyRowChange(notice); break;
    }
    redrawTimer->start();
}

void MainWindow::applyRowChange(const SessionNotice &notice)
{
    switch (notice.view) {
    case SessionChange::Jobs: filesPage->applyJobRows(notice); break;
    default: pending.set(static_cast<size_t>(notice.view)); break;
    }
}

void MainWindow::redrawPending()
{
    const std::bitset<16> changes = pending;
    pending.reset();
    for (size_t change = 0; change < changes.size(); ++change)
        if (changes.test(change)) redraw(static_cast<SessionChange>(change));
    const std::vector<SessionNotice> requests = std::move(reveals);
    reveals.clear();
    for (const SessionNotice &request : requests) {
        if (request.view == SessionChange::Jobs) filesPage->revealJobItem(request.first);
        if (request.view == SessionChange::ConfigurationTree) configurationArea->revealItem(request.first);
    }
}

void MainWindow::redraw(SessionChange change)
{
    switch (change) {
    case SessionChange::ConfigurationTree: configurationArea->refreshTree(); break;
    case SessionChange::ConfigurationList: configurationArea->refreshList(); break;
    case SessionChange::Jobs: filesPage->refreshJobs(); break;
    case SessionChange::StatusLog: statusView->scrollToBottom(); break;
    case SessionChange::Metadata: metadataPage->refresh(); break;
    case SessionChange::IqPage:
    case SessionChange::TextMode: iqPage->refresh(); break;
    case SessionChange::SignalProcessingPage: signalProcessingPage->refresh(); break;
    case SessionChange::ConvertButton: refreshConvertButton(); break;
    case SessionChange::ActiveTab: tabs->setCurrentIndex(session.views.activeTab); break;
    case SessionChange::Hints:
        filesPage->refreshHint();
        metadataPage->refreshHint();
        iqPage->refreshHint();
        signalProcessingPage->refreshHint();
        break;
    case SessionChange::Locks: applyLocks(); break;
    case SessionChange::BrowserRefresh: filesPage->refreshBrowser(); break;
    }
}

void MainWindow::refreshConvertButton()
{
    const ConvertButtonView &view = session.views.convert;
    convertButton->setText(QString::fromStdString(view.label));
    const QColor background = ToQColor(view.color);
    const QColor text = ReadableText(view.color);
    convertButton->setStyleSheet(QString("QPushButton { background-color: %1; color: %2; border: 1px solid "
                                         "rgb(120, 120, 120); border-radius: 4px; padding: 6px; }"
                                         "QPushButton:hover { border-color: rgb(40, 40, 40); }"
                                         "QPushButton:pressed { background-color: %3; }")
                                     .arg(background.name(), text.name(), background.darker(115).name()));
    convertButton->setEnabled(view.operable);
}

void MainWindow::applyLocks()
{
    tabs->tabBar()->setEnabled(Gui_ControlTakesInput(session.views, Control::Tab));
    configurationArea->applyLocks();
    filesPage->applyLocks();
}
