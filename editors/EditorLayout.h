// The frame every editor window shares: its content above a row of the editor's own buttons,
// then OK and Cancel on the right.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace ruleeditors {

// Lays out Window: Content (stretching), Extra (an error line, may be null), then Buttons with
// OK and Cancel appended, which accept and reject the window.
inline void LayOutEditor(QDialog& Window, QWidget* Content, QWidget* Extra, QHBoxLayout* Buttons) {
  Buttons->addStretch();
  auto* Box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(Box, &QDialogButtonBox::accepted, &Window, &QDialog::accept);
  QObject::connect(Box, &QDialogButtonBox::rejected, &Window, &QDialog::reject);
  Buttons->addWidget(Box);
  auto* Layout = new QVBoxLayout(&Window);
  Layout->addWidget(Content, 1);
  if (Extra) Layout->addWidget(Extra);
  Layout->addLayout(Buttons);
  Window.resize(760, 480);
}

}  // namespace ruleeditors
