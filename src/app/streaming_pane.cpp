#include "app/streaming_pane.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vidoria {

StreamingPane::StreamingPane(QWidget* parent) : QWidget(parent) {
  title = new TitleBar(QStringLiteral("Streaming server settings"), this);
  port = new QLineEdit(QStringLiteral("80"), this);
  port->setObjectName(QStringLiteral("port"));
  port->setMaximumWidth(80);
  autorun = new QCheckBox(QStringLiteral("Start server when program starts"), this);
  autostart = new QCheckBox(QStringLiteral("Start program when I log in"), this);
  currentRate = new QLabel(QStringLiteral("0 B"), this);
  totalAmount = new QLabel(QStringLiteral("0 B"), this);
  peakRate = new QLabel(QStringLiteral("0 B"), this);
  sharing = new QCheckBox(QStringLiteral("Share with TVs and players on this network"), this);
  sharing->setChecked(true);
  login = new QCheckBox(QStringLiteral("Require login"), this);
  username = new QLineEdit(QStringLiteral("qorvu"), this);
  username->setObjectName(QStringLiteral("username"));
  password = new QLineEdit(QStringLiteral("qorvu"), this);
  password->setObjectName(QStringLiteral("password"));
  password->setEchoMode(QLineEdit::Password);
  addressCode = new QrCodeWidget(this);
  addressCode->setMinimumSize(120, 120);
  copyAddress = new QPushButton(QStringLiteral("Copy address"), this);
  copyAddress->setEnabled(false);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Server port:"), port);
  form->addRow(autorun);
  form->addRow(autostart);
  form->addRow(QStringLiteral("Current transfer rate:"), currentRate);
  form->addRow(QStringLiteral("Total transfer amount:"), totalAmount);
  form->addRow(QStringLiteral("Peak transfer rate:"), peakRate);
  form->addRow(sharing);
  form->addRow(login);
  // Visible labels, which screen readers also announce as the fields' names.
  usernameLabel_ = new QLabel(QStringLiteral("User name"), this);
  usernameLabel_->setBuddy(username);
  username->setAccessibleName(QStringLiteral("User name"));
  passwordLabel_ = new QLabel(QStringLiteral("Password"), this);
  passwordLabel_->setBuddy(password);
  password->setAccessibleName(QStringLiteral("Password"));
  form->addRow(usernameLabel_, username);
  form->addRow(passwordLabel_, password);

  auto* code = new QVBoxLayout;
  code->addWidget(addressCode, 1);
  code->addWidget(copyAddress);
  code->addStretch();

  auto* body = new QHBoxLayout;
  body->addLayout(form, 1);
  body->addLayout(code);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addLayout(body, 1);
  UpdateVisibility();
}

void StreamingPane::UpdateVisibility() {
  autostart->setVisible(autorun->isChecked());
  for (QWidget* part : {static_cast<QWidget*>(username), static_cast<QWidget*>(usernameLabel_),
                        static_cast<QWidget*>(password), static_cast<QWidget*>(passwordLabel_)}) {
    part->setVisible(login->isChecked());
  }
}

}  // namespace vidoria
