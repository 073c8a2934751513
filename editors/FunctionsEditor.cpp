#include "FunctionsEditor.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "EditorEngine.h"
#include "EditorLayout.h"
#include "core/functions/IEPackages.h"

namespace ruleeditors {

TFunctionsEditor::TFunctionsEditor(const rulecore::TUserPackage& Package, QWidget* Parent) : QDialog(Parent) {
  setWindowTitle("Functions Editor");
  const rulecore::TUserFunctionList& Functions = Package.GetFunctions();
  for (int I = 0; I < Functions.Count(); ++I)
    Entries_.push_back({Functions.Item(I), Functions.Item(I)->GetComment()});

  Table_ = new QTableWidget(0, 3);
  Table_->setHorizontalHeaderLabels({"Function", "Syntax", "Help"});
  Table_->horizontalHeader()->setStretchLastSection(true);
  Table_->verticalHeader()->hide();
  Table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table_->setWordWrap(false);
  connect(Table_, &QTableWidget::cellChanged, this, [this](int Row, int Column) {
    if (!Filling_ && Column == 2) SetHelp(Row, FromQt(Table_->item(Row, 2)->text()));
  });

  auto* Buttons = new QHBoxLayout;
  auto* Remove = new QPushButton("&Delete");
  connect(Remove, &QPushButton::clicked, this, [this] {
    if (Table_->currentRow() >= 0) Delete(Table_->currentRow());
  });
  Buttons->addWidget(Remove);
  LayOutEditor(*this, Table_, nullptr, Buttons);
  Refill();
}

void TFunctionsEditor::Refill() {
  Filling_ = true;
  Table_->setRowCount(Count());
  for (int I = 0; I < Count(); ++I) {
    const TEntry& Entry = Entries_[static_cast<size_t>(I)];
    auto ReadOnly = [](const std::string& Text) {
      auto* Item = new QTableWidgetItem(ToQt(Text));
      Item->setFlags(Item->flags() & ~Qt::ItemIsEditable);
      return Item;
    };
    Table_->setItem(I, 0, ReadOnly(Entry.Function->GetFunctionName()));
    Table_->setItem(I, 1, ReadOnly(Entry.Function->GetArgumentString()));
    Table_->setItem(I, 2, new QTableWidgetItem(ToQt(Entry.Help)));
  }
  Table_->resizeColumnToContents(0);
  Table_->setColumnWidth(1, 260);
  Filling_ = false;
}

void TFunctionsEditor::Delete(int Index) {
  if (Index < 0 || Index >= Count()) return;
  Entries_.erase(Entries_.begin() + Index);
  Refill();
}

void TFunctionsEditor::SetHelp(int Index, const std::string& Help) {
  if (Index < 0 || Index >= Count()) return;
  Entries_[static_cast<size_t>(Index)].Help = Help;
}

}  // namespace ruleeditors
