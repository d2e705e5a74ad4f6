#include "app/splash.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/logo.h"
#include "platform/ui/qt_look.h"

TfrmSplash::TfrmSplash(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Us"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(507, 318);
  setModal(true);

  QFrame* banner = ui::NewBand();
  auto* bannerLayout = new QHBoxLayout(banner);
  bannerLayout->setContentsMargins(24, 18, 24, 18);
  auto* logo = new QLabel;
  logo->setPixmap(QuillmarkLogo(QSize(380, 84), devicePixelRatioF()));
  bannerLayout->addWidget(logo, 0, Qt::AlignCenter);

  auto* heading = new QLabel(QStringLiteral("Product Information:"));
  ui::MakeBold(heading);

  QFrame* box = ui::NewBand();
  box->setFrameShape(QFrame::StyledPanel);
  lblProductName = new QLabel(QStringLiteral("Quillmark Version 1.0.0.0"));
  ui::MakeBold(lblProductName);
  lblMaker = new QLabel(QStringLiteral("Made by the Quillmark developers, free for every user."));
  for (QLabel* l : {lblProductName, lblMaker})
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* boxLayout = new QVBoxLayout(box);
  boxLayout->setContentsMargins(12, 10, 12, 10);
  boxLayout->addWidget(lblProductName);
  boxLayout->addWidget(lblMaker);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* content = new QVBoxLayout;
  content->setContentsMargins(18, 12, 18, 14);
  content->setSpacing(8);
  content->addWidget(heading);
  content->addWidget(box);
  content->addStretch(1);
  content->addWidget(buttons);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(banner);
  layout->addLayout(content, 1);
}
