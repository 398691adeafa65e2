// The Streaming, Folder scan and accounts views: each control changes the engine's settings or
// tables at once, and shows a refusal when the engine cannot store what was typed.
#include <QApplication>
#include <QClipboard>
#include <QSignalBlocker>

#include "app/main_window.h"

namespace vidoria {

void MainWindow::ConnectSettings() {
  connect(status_->startStreaming, &QPushButton::clicked, server_, &ServerControls::Start);
  connect(status_->stopStreaming, &QPushButton::clicked, server_, &ServerControls::Stop);
  connect(status_, &StatusBar::AddressClicked, this,
          [this](const QString& address) { openUrl(QUrl(address)); });
  connect(streaming_->copyAddress, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(status_->Address()); });

  connect(streaming_->port, &QLineEdit::editingFinished, this, [this] {
    const QString text = streaming_->port->text();
    const QString current = QString::fromStdString(engine_->CurrentSettings().port);
    if (text == current) return;
    QString problem = PortProblem(text);
    if (problem.isEmpty()) {
      if (auto refusal = engine_->SetPortText(text.trimmed().toStdString())) {
        problem = QString::fromStdString(*refusal);
      }
    }
    if (!problem.isEmpty()) {
      streaming_->port->setText(current);
      dialogs_.ShowError(problem);
    }
  });
  connect(streaming_->autorun, &QCheckBox::clicked, this, [this](bool checked) {
    engine_->SetAutorun(checked);
    ShowSettings();
  });
  connect(streaming_->autostart, &QCheckBox::clicked, this, [this](bool checked) {
    engine_->SetAutostart(checked);
    ShowSettings();
  });
  connect(streaming_->sharing, &QCheckBox::clicked, this, [this](bool checked) {
    engine_->SetSharing(checked);
    ShowSettings();
  });
  connect(streaming_->login, &QCheckBox::clicked, this, [this](bool checked) {
    engine_->SetLoginRequired(checked);
    ShowSettings();
    WarnAboutEmptyPassword();
  });
  const auto credentials = [this] {
    const auto refusal = engine_->SetCredentials(streaming_->username->text().toStdString(),
                                                 streaming_->password->text().toStdString());
    if (!refusal) {
      WarnAboutEmptyPassword();
      return;
    }
    ShowSettings();  // back to what the login accepts
    dialogs_.ShowError(QString::fromStdString(*refusal));
  };
  connect(streaming_->username, &QLineEdit::textEdited, this, credentials);
  connect(streaming_->password, &QLineEdit::textEdited, this, credentials);

  connect(folders_->autoscan, &QCheckBox::clicked, this,
          [this](bool checked) { engine_->SetAutoscan(checked); });
  connect(folders_->minutes, &QSpinBox::valueChanged, this,
          [this](int minutes) { engine_->SetScanMinutes(minutes); });
  connect(folders_->remove, &QToolButton::clicked, this, [this] {
    const std::vector<std::string> folders = folders_->folders->CheckedOrSelected();
    if (folders.empty()) return;
    if (!dialogs_.AskYesNo(CountedQuestion(
            folders, QStringLiteral("Stop watching %1? Its videos stay in the library."),
            QStringLiteral("Stop watching %1 folders? Their videos stay in the library.")))) {
      return;
    }
    engine_->RemoveWatchedFolders(folders);
    ShowWatchedFolders();
  });
}

void MainWindow::ConnectAccounts() {
  connect(accounts_->add, &QToolButton::clicked, this, [this] {
    // Cancelling keeps the offered text: an account is added either way.
    QString name = QStringLiteral("Kavra");
    if (!dialogs_.AskText(QStringLiteral("New Username:"), QString(), name)) {
      name = QStringLiteral("Kavra");
    }
    QString password = QStringLiteral("Pleximor");
    if (!dialogs_.AskText(QStringLiteral("Password for %1:").arg(name), QString(), password,
                          Dialogs::Echo::kHidden)) {
      password = QStringLiteral("Pleximor");
    }
    if (auto refusal = engine_->AddUser(name.toStdString(), password.toStdString())) {
      dialogs_.ShowError(QString::fromStdString(*refusal));
    }
    ShowUsers();
  });
  connect(accounts_->remove, &QToolButton::clicked, this, [this] {
    engine_->RemoveUsers(accounts_->users->CheckedOrSelected());
    ShowUsers();
  });
  connect(accounts_->users, &QListWidget::itemClicked, this,
          [this] { ShowSelectionCount(accounts_->users, " users selected"); });
}

// An empty password is stored and accepted as it is (the field is empty on the way to a new
// one), but the user should know what it means while the login is required.
void MainWindow::WarnAboutEmptyPassword() {
  const Settings& settings = engine_->CurrentSettings();
  if (!settings.login || !settings.password.empty()) return;
  engine_->Status().Show(
      "The password is empty: the web login lets in anyone who knows the user name.");
  RefreshStatus();
}

void MainWindow::ShowSettings() {
  const Settings& settings = engine_->CurrentSettings();
  streaming_->port->setText(QString::fromStdString(settings.port));
  streaming_->autorun->setChecked(settings.autorun);
  streaming_->autostart->setChecked(settings.autostart);
  streaming_->sharing->setChecked(engine_->Sharing());
  streaming_->login->setChecked(settings.login);
  streaming_->username->setText(QString::fromStdString(settings.username));
  streaming_->password->setText(QString::fromStdString(settings.password));
  streaming_->UpdateVisibility();
  folders_->autoscan->setChecked(settings.autoscan);
  const QSignalBlocker quiet(folders_->minutes);  // showing the value is no change of it
  folders_->minutes->setValue(settings.scanMinutes);
}

void MainWindow::ShowWatchedFolders() {
  std::vector<std::string> folders = engine_->WatchedFolders();
  folders_->folders->SetItems(folders);
  // Nothing chosen after a change: a second click on Remove must not take the next folder.
  folders_->folders->clearSelection();
}

void MainWindow::ShowUsers() {
  accounts_->users->SetItems(engine_->UserNames());
  // Nothing is selected at first, so that a click on Remove removes nothing by surprise.
  accounts_->users->clearSelection();
}

}  // namespace vidoria
