// The window's life: construction, creation, first show, ticks, close and destruction.
#include "app/main_window.h"
#include "app/window_place.h"
#include "library/table_layouts.h"
#include "platform/folders.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

namespace vidoria {

MainWindow::MainWindow(EngineOptions options, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
  openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  // The dialogs start in the user's documents folder where there is one, as the desktop's own
  // file dialogs do; afterwards where the last choice was made.
  const std::optional<std::string> documents = UserDocumentsFolder(options.env);
  lastFolder_ = documents && QDir(QString::fromStdString(*documents)).exists()
                    ? QString::fromStdString(*documents)
                    : QDir::homePath();
  options.askFirstRun = [this] {
    return dialogs_.AskYesNo(
        QString::fromUtf8(kFirstRunQuestion.data(), int(kFirstRunQuestion.size())));
  };
  options.reportError = [this](const std::string& message) { QueueError(message); };
  options.refreshView = [this] { ClickAction(); };
  // A pass's end shows what changed in the view on screen, a playlist's included.
  options.rebuildLibraryList = [this] {
    if (views_->currentWidget() == playlist_) {
      ClickAction();
    } else {
      UpdateLibraryList(/*store=*/false);
    }
  };
  options.wake = [this, alive = alive_] {
    if (alive->load())
      QMetaObject::invokeMethod(
          this, [this] { Tick(); }, Qt::QueuedConnection);
  };
  options.startAction = [this] {
    if (status_->startStreaming->isEnabled()) server_->Start();
  };
  engine_ = std::make_unique<Engine>(std::move(options));

  BuildLayout();
  server_ = new ServerControls(*engine_, dialogs_, *status_, *streaming_, this);
  player_ = new PlayerControl(*engine_, dialogs_, {library_->stop, playlist_->stop}, this);
  connect(player_, &PlayerControl::StatusChanged, this, &MainWindow::RefreshStatus);
  ConnectNavigation();
  ConnectLibrary();
  ConnectPlaylists();
  ConnectSettings();
  ConnectAccounts();
  ConnectKeys();
  engine_->Activity().SetListener([log = log_, alive = alive_](const std::string& line) {
    if (alive->load()) log->Post(line);
  });
  tickTimer_.setInterval(kTickMs);
  connect(&tickTimer_, &QTimer::timeout, this, &MainWindow::Tick);
}

MainWindow::~MainWindow() {
  tickTimer_.stop();
  if (created_) engine_->Destroy();
  alive_->store(false);
  engine_->Activity().SetListener({});
  player_->Stop();
  engine_.reset();  // its server waits here for the connections still open
}

void MainWindow::BuildLayout() {
  setWindowTitle(QStringLiteral("Vidoria"));
  setWindowIcon(QIcon(QStringLiteral(":/vidoria.svg")));
  tree_ = new NavTree;
  views_ = new QStackedWidget;
  library_ = new LibraryPane;
  playlist_ = new PlaylistPane;
  streaming_ = new StreamingPane;
  folders_ = new FolderScanPane;
  log_ = new LogPane;
  accounts_ = new AccountsPane;
  for (QWidget* view : std::initializer_list<QWidget*>{library_, playlist_, streaming_, folders_,
                                                       log_, accounts_}) {
    views_->addWidget(view);
  }
  views_->setCurrentWidget(library_);
  status_ = new StatusBar;
  status_->removePlaylist->hide();

  splitter_ = new QSplitter;
  splitter_->addWidget(tree_);
  splitter_->addWidget(views_);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({150, 450});
  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(splitter_, 1);
  layout->addWidget(status_);
  setCentralWidget(central);

  resize(600, 440);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

bool MainWindow::Create() {
  const QString title = QString::fromUtf8(kProgramTitle.data(), int(kProgramTitle.size()));
  setWindowTitle(title);
  QApplication::setApplicationDisplayName(title);
  if (!engine_->Create()) {
    dialogs_.ShowMessage(
        QString::fromUtf8(kMissingCompanion.data(), int(kMissingCompanion.size())));
    QTimer::singleShot(kCompanionWaitMs, this, [this] {
      openUrl(QUrl(QString::fromLatin1(kMakerSite)));
      emit Ended();
    });
    return false;
  }
  created_ = true;
  RestorePlace();
  setAcceptDrops(true);
  ShowSettings();
  ShowWatchedFolders();
  ShowUsers();
  RefreshStatus();
  tickTimer_.start();
  if (closeRequested_) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  return true;
}

void MainWindow::RestorePlace() {
  const std::optional<WindowPlace> place =
      ReadWindowPlace(QString::fromStdString(engine_->DataFolder()));
  if (!place) return;  // the first start's size, centred
  setGeometry(place->frame);
  splitter_->setSizes({place->treeWidth, place->frame.width() - place->treeWidth});
  if (place->maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::StorePlace() {
  const WindowPlace place{isMaximized() ? normalGeometry() : geometry(),
                          splitter_->sizes().value(0), isMaximized()};
  if (auto problem = WriteWindowPlace(QString::fromStdString(engine_->DataFolder()), place)) {
    engine_->Activity().Add("The window's place was not kept: " + problem->toStdString());
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_ && created_) {
    shown_ = true;
    FirstShow();
  }
}

void MainWindow::FirstShow() {
  engine_->Shown(Engine::Clock::now());
  tree_->setUpdatesEnabled(false);
  const Table& playlists = engine_->PlaylistTable();
  for (int row = 0; row < playlists.RowCount(); ++row) {
    tree_->AddPlaylist(QString::fromStdString(playlists.Cell(PlaylistColumn::kName, row)));
  }
  tree_->setUpdatesEnabled(true);
  tree_->SelectQuietly(tree_->Library());
  tree_->setFocus();
  ClickAction();
  QMetaObject::invokeMethod(this, &MainWindow::ShowPendingErrors, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!created_) {
    // Asked to close while the creation steps wait for a dialog (SIGTERM at the first-run
    // question): the close follows once they are done.
    closeRequested_ = true;
  } else if (!closed_) {
    closed_ = true;
    StorePlace();
    tickTimer_.stop();
    player_->Stop();  // the player first: it may be reading a file the saves are about
    server_->Stop();
    engine_->Close();
  }
  event->accept();
}

void MainWindow::Tick() {
  if (ticking_ || !created_ || closed_) return;
  ticking_ = true;
  engine_->Tick(Engine::Clock::now());
  ticking_ = false;
  RefreshStatus();
}

void MainWindow::RefreshStatus() {
  status_->SetStatus(QString::fromStdString(engine_->Status().Text()));
}

void MainWindow::QueueError(const std::string& message) {
  pendingErrors_.append(QString::fromStdString(message));
  // Errors met while the window is being made wait until it is up; later ones are shown from
  // the event loop, never from inside the engine's operation that met them.
  if (shown_) {
    QMetaObject::invokeMethod(this, &MainWindow::ShowPendingErrors, Qt::QueuedConnection);
  }
}

void MainWindow::ShowPendingErrors() {
  if (showingErrors_) return;
  showingErrors_ = true;
  // Once the window is closed (by the user, or by SIGTERM dismissing the open box) no further
  // box opens: the program ends without waiting for an answer nobody will give.
  while (!pendingErrors_.isEmpty() && !closed_) dialogs_.ShowError(pendingErrors_.takeFirst());
  showingErrors_ = false;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasUrls()) return;
  event->acceptProposedAction();
  QueuePaths(DroppedPaths(event->mimeData()));
}

}  // namespace vidoria
