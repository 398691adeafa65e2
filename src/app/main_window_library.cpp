// The library's buttons: lists, adding and removing, search, play, fast start, drops, help.
#include <QApplication>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <initializer_list>

#include "app/main_window.h"

namespace vidoria {

void MainWindow::ConnectLibrary() {
  connect(library_->addFile, &QToolButton::clicked, this, &MainWindow::AddFiles);
  connect(library_->addFolder, &QToolButton::clicked, this, &MainWindow::AddFolder);
  connect(folders_->addFolder, &QToolButton::clicked, this, &MainWindow::AddFolder);
  connect(library_->remove, &QToolButton::clicked, this, &MainWindow::RemoveFromLibrary);
  connect(library_->search, &QLineEdit::textEdited, this, &MainWindow::Search);
  connect(library_->play, &QToolButton::clicked, this, &MainWindow::PlayFromLibrary);
  connect(playlist_->play, &QToolButton::clicked, this, &MainWindow::PlayFromPlaylist);
  connect(library_->enableStreaming, &QToolButton::clicked, this,
          [this] { EnableStreaming(/*fromPlaylist=*/false); });
  connect(playlist_->enableStreaming, &QToolButton::clicked, this,
          [this] { EnableStreaming(/*fromPlaylist=*/true); });
  for (QToolButton* stop : {library_->stop, playlist_->stop}) {
    connect(stop, &QToolButton::clicked, player_, &PlayerControl::Stop);
  }
  for (TitleBar* title : {library_->title, playlist_->title, folders_->title, accounts_->title}) {
    connect(title, &TitleBar::Pressed, player_, &PlayerControl::Stop);
  }
  for (QToolButton* help : {library_->help, playlist_->help, folders_->help}) {
    connect(help, &QToolButton::clicked, this, &MainWindow::Help);
  }
  connect(library_->list, &QListWidget::itemClicked, this,
          [this] { ShowSelectionCount(library_->list, " items selected"); });
  connect(playlist_->list, &QListWidget::itemClicked, this,
          [this] { ShowSelectionCount(playlist_->list, " items selected"); });
  engine_->SetScanHooks([this] { HoldActions(Holder::kScan); },
                        [this] { ReleaseActions(Holder::kScan); });
  engine_->SetStreamingHook([this] {
    ReleaseActions(Holder::kFastStart);
    RefreshStatus();
  });
}

void MainWindow::UpdateLibraryList(bool store) {
  const ListResult listing = engine_->LibraryListing();
  playlist_->list->clear();
  library_->list->SetItems(listing.items);
  engine_->Status().Show(listing.status);
  if (store) engine_->StoreLibrary();
  RefreshStatus();
}

void MainWindow::UpdatePlaylistList(const std::string& name) {
  const ListResult listing = engine_->PlaylistListing(name);
  library_->list->clear();
  playlist_->list->SetItems(listing.items);
  engine_->Status().Show(listing.status);
  RefreshStatus();
}

void MainWindow::ShowSelectionCount(const CheckList* list, const char* what) {
  engine_->Status().Show(std::to_string(list->selectedItems().size()) + what);
  RefreshStatus();
}

void MainWindow::QueuePaths(const std::vector<std::string>& paths) {
  ShowRefusals(engine_->QueueDropped(paths));
  RefreshStatus();
}

void MainWindow::AddFiles() {
  const QStringList files = dialogs_.ChooseFiles(QStringLiteral("Select File(s)"), lastFolder_,
                                                 QStringLiteral("MP4|*.mp4"));
  std::vector<std::string> refusals;
  for (const QString& file : files) {
    if (auto refusal = engine_->QueueFile(file.toStdString())) refusals.push_back(*refusal);
  }
  if (!files.isEmpty()) lastFolder_ = QFileInfo(files.first()).absolutePath();
  ShowRefusals(refusals);
}

void MainWindow::AddFolder() {
  const QString folder =
      dialogs_.ChooseFolder(QStringLiteral("Select folder containing video files"), lastFolder_);
  if (folder.isEmpty()) return;
  lastFolder_ = folder;
  if (auto refusal = engine_->AddWatchedFolder(folder.toStdString())) ShowRefusals({*refusal});
  ShowWatchedFolders();
}

void MainWindow::ShowRefusals(const std::vector<std::string>& refusals) {
  std::string text;
  for (const std::string& refusal : refusals) text += (text.empty() ? "" : "\n") + refusal;
  // From the event loop: a box opened inside the drop would hold the program it came from.
  if (!text.empty()) QueueError(text);
}

void MainWindow::RemoveFromLibrary() {
  const std::vector<std::string> names = library_->list->CheckedOrSelected();
  if (names.empty()) return;
  // The list selects its first entry by itself after every rebuild: a Remove the user did not
  // aim must not take it silently, and the rows cannot be brought back.
  if (!dialogs_.AskYesNo(
          CountedQuestion(names,
                          QStringLiteral("Remove %1 from the library? The file stays on "
                                         "the disk."),
                          QStringLiteral("Remove %1 entries from the library? The files stay "
                                         "on the disk.")))) {
    return;
  }
  engine_->RemoveFromLibrary(names);
  RefreshStatus();
}

void MainWindow::Search(const QString& text) {
  const ListResult found = engine_->SearchLibrary(text.toStdString());
  playlist_->list->clear();
  library_->list->SetItems(found.items);
  engine_->Status().Show(found.status);
  RefreshStatus();
}

void MainWindow::PlayFromLibrary() {
  std::string chosen = library_->list->FirstSelected();
  if (chosen.empty() && library_->list->count() > 0) {
    chosen = library_->list->item(0)->text().toStdString();
  }
  if (library_->list->count() == 0) return;
  player_->Play(engine_->PathsToPlay(chosen));
}

void MainWindow::PlayFromPlaylist() {
  const std::string chosen = playlist_->list->FirstSelected();
  if (chosen.empty()) return;
  player_->Play(engine_->PathsToPlay(chosen));
}

void MainWindow::EnableStreaming(bool fromPlaylist) {
  const CheckList* list = fromPlaylist ? playlist_->list : library_->list;
  const std::vector<std::string> names = list->CheckedOrSelected();
  // The tool runs while the window keeps serving: the buttons that would change the library or
  // start another rewrite stay off until every file is done (the engine's streaming hook).
  HoldActions(Holder::kFastStart);
  if (fromPlaylist) {
    engine_->EnableStreamingBottomUp(names);
  } else {
    engine_->EnableStreamingTopDown(names);
  }
  RefreshStatus();
}

void MainWindow::HoldActions(Holder holder) {
  ++held_[static_cast<int>(holder)];
  UpdateHeldActions();
}

void MainWindow::ReleaseActions(Holder holder) {
  --held_[static_cast<int>(holder)];
  UpdateHeldActions();
}

void MainWindow::UpdateHeldActions() {
  // A pass holds what would change the rows it adds or start work it would have to wait for; a
  // fast start holds only another fast start and the removal of the files it rewrites, since
  // the window goes on serving meanwhile.
  const std::initializer_list<QToolButton*> byScan = {
      library_->createPlaylist, library_->addFile,          library_->addFolder,
      library_->remove,         library_->enableStreaming,  playlist_->createPlaylist,
      playlist_->remove,        playlist_->enableStreaming, status_->createPlaylist,
      status_->removePlaylist,  folders_->addFolder,        folders_->remove};
  const std::initializer_list<QToolButton*> byFastStart = {
      library_->enableStreaming, playlist_->enableStreaming, library_->remove};
  const bool scan = held_[static_cast<int>(Holder::kScan)] > 0;
  const bool fastStart = held_[static_cast<int>(Holder::kFastStart)] > 0;
  for (QToolButton* button : byScan) {
    const bool heldByFastStart =
        std::find(byFastStart.begin(), byFastStart.end(), button) != byFastStart.end();
    button->setEnabled(!scan && !(fastStart && heldByFastStart));
  }
}

void MainWindow::Help() {
  openUrl(QUrl::fromLocalFile(QString::fromStdString(engine_->ProgramFolder() + "help.pdf")));
}

}  // namespace vidoria
