#include "app/status_bar.h"

#include <QHBoxLayout>

namespace vidoria {

StatusBar::StatusBar(QWidget* parent) : QWidget(parent) {
  createPlaylist =
      ActionButton(QStringLiteral("Create a playlist."), QStyle::SP_FileDialogNewFolder, this);
  removePlaylist =
      ActionButton(QStringLiteral("Remove selected playlist."), QStyle::SP_DialogCloseButton, this);
  status = new QLabel(this);
  status->setObjectName(QStringLiteral("status"));
  status->setMinimumWidth(50);
  status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  addressLink = new QLabel(this);
  addressLink->setObjectName(QStringLiteral("addressLink"));
  addressLink->setTextFormat(Qt::RichText);
  addressLink->setText(QStringLiteral("<a href=\"\">http://0.0.0.0:80</a>"));
  addressLink->hide();
  stopStreaming = new QPushButton(QStringLiteral("Stop streaming"), this);
  startStreaming = new QPushButton(QStringLiteral("Start streaming"), this);
  connect(addressLink, &QLabel::linkActivated, this, [this] {
    if (!address_.isEmpty()) emit AddressClicked(address_);
  });

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(createPlaylist);
  layout->addWidget(removePlaylist);
  layout->addWidget(status, 1);
  layout->addWidget(addressLink);
  layout->addWidget(stopStreaming);
  layout->addWidget(startStreaming);
}

void StatusBar::SetStatus(const QString& text) {
  if (status->text() != text) status->setText(text);
}

void StatusBar::SetAddress(const QString& address) {
  address_ = address;
  addressLink->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()));
}

}  // namespace vidoria
