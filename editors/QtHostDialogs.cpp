#include "QtHostDialogs.h"

#include <QAbstractButton>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "EditorEngine.h"

namespace ruleeditors {

using namespace rulecore;

void TQtHostDialogs::ShowMessage(const std::string& Text) {
  QMessageBox::information(Parent_, QString(), ToQt(Text));
}

namespace {

struct TButtonMap {
  TMsgDlgBtn Button;
  QMessageBox::StandardButton Qt;
};
constexpr TButtonMap Buttons[] = {
    {mbYes, QMessageBox::Yes},         {mbNo, QMessageBox::No},          {mbOK, QMessageBox::Ok},
    {mbCancel, QMessageBox::Cancel},   {mbAbort, QMessageBox::Abort},    {mbRetry, QMessageBox::Retry},
    {mbIgnore, QMessageBox::Ignore},   {mbAll, QMessageBox::YesToAll},   {mbNoToAll, QMessageBox::NoToAll},
    {mbYesToAll, QMessageBox::YesToAll}, {mbHelp, QMessageBox::Help},
};

}  // namespace

TModalResult TQtHostDialogs::MessageDialog(const std::string& Text, TMsgDlgType Kind, TMsgDlgButtons Shown,
                                           int32_t) {
  QMessageBox Box(Parent_);
  static const char* const Captions[] = {"Warning", "Error", "Information", "Confirmation", ""};
  static const QMessageBox::Icon Icons[] = {QMessageBox::Warning, QMessageBox::Critical, QMessageBox::Information,
                                            QMessageBox::Question, QMessageBox::NoIcon};
  const auto K = static_cast<size_t>(Kind);
  Box.setWindowTitle(K < 5 ? Captions[K] : "");
  Box.setIcon(K < 5 ? Icons[K] : QMessageBox::NoIcon);
  Box.setText(ToQt(Text));
  // "All" has no button of its own in Qt: it gets a button with its name.
  std::vector<std::pair<QAbstractButton*, TMsgDlgBtn>> Made;
  for (const TButtonMap& Map : Buttons) {
    if (!Shown.Contains(Map.Button)) continue;
    QAbstractButton* Button = Map.Button == mbAll ? Box.addButton("&All", QMessageBox::AcceptRole)
                                                  : Box.addButton(Map.Qt);
    Made.emplace_back(Button, Map.Button);
  }
  if (Made.empty()) Made.emplace_back(Box.addButton(QMessageBox::Ok), mbOK);
  Box.exec();
  for (const auto& [Button, Which] : Made)
    if (Box.clickedButton() == Button) return ModalResultOf(Which);
  return mrCancel;
}

bool TQtHostDialogs::InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) {
  bool Ok = false;
  const QString Answer = QInputDialog::getText(Parent_, ToQt(Caption), ToQt(Prompt), QLineEdit::Normal, ToQt(Value), &Ok);
  if (Ok) Value = FromQt(Answer);
  return Ok;
}

}  // namespace ruleeditors
