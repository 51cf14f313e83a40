#include "platform/qt/ValueListEditorView.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>

#include "platform/CodePage.h"
#include "platform/controls/EditMask.h"
#include "platform/qt/MaskedLineEdit.h"
#include "platform/qt/QtText.h"

namespace tavrin::qt {

class ValueListModel : public QAbstractTableModel {
 public:
  explicit ValueListModel(ValueListEditor& grid, QObject* parent)
      : QAbstractTableModel(parent), grid_(grid) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : grid_.RowCount();
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return FromCp932(grid_.CellText(index.column(), index.row() + 1));
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return FromCp932(grid_.CellText(section, 0));
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (index.column() == 0) return Qt::ItemIsEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!grid_.ItemProps(index.row()).readOnly) flags |= Qt::ItemIsEditable;
    return flags;
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (role != Qt::EditRole || index.column() != 1) return false;
    std::optional<std::string> bytes = ToCp932(value.toString());
    return bytes && grid_.UserSetValue(index.row(), std::move(*bytes));
  }

  void Refresh() {
    if (rowCount({}) != shownRows_) {
      beginResetModel();
      shownRows_ = rowCount({});
      endResetModel();
    } else if (shownRows_ > 0) {
      emit dataChanged(index(0, 0), index(shownRows_ - 1, 1));
    }
    emit headerDataChanged(Qt::Horizontal, 0, 1);
  }

 private:
  ValueListEditor& grid_;
  int shownRows_ = grid_.RowCount();
};

namespace {

QColor Background(CellBackground background, const QPalette& palette, bool selected) {
  switch (background) {
    case CellBackground::kFixed:
      return palette.color(QPalette::Button);
    case CellBackground::kWindow:
      return palette.color(QPalette::Base);
    case CellBackground::kAsGridChose:
      break;
  }
  return palette.color(selected ? QPalette::Highlight : QPalette::Base);
}

void PaintCell(QPainter* painter, const QRect& rect, const CellPaint& paint,
               const QPalette& palette, bool selected) {
  painter->save();
  painter->setClipRect(rect);
  painter->fillRect(rect, Background(paint.background, palette, selected));
  painter->setFont(ToQFont(paint.font));
  painter->setPen(ToQColor(paint.textColour));
  QRect textRect = rect.adjusted(paint.textOffsetX, paint.textOffsetY, 0, 0);
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    FromCp932(paint.text));
  painter->restore();
}

// The title row, painted by the owner-draw handler like every other cell.
class TitleHeader : public QHeaderView {
 public:
  TitleHeader(ValueListEditor& grid, QWidget* parent)
      : QHeaderView(Qt::Horizontal, parent), grid_(grid) {}

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int section) const override {
    CellState state;
    state.fixed = true;
    CellPaint paint = grid_.OnDrawCell() ? grid_.OnDrawCell()(section, 0, state) : CellPaint{};
    PaintCell(painter, rect, paint, palette(), false);
    painter->save();
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->restore();
  }

 private:
  ValueListEditor& grid_;
};

}  // namespace

// Chooses the editor of a value cell from its row's properties: a drop-down
// for a pick list (still open to typing), the masked editor for a template,
// a plain line edit otherwise. Leaving an editor whose text cannot be stored
// is refused, and the editor keeps the focus.
class CellDelegate : public QStyledItemDelegate {
 public:
  CellDelegate(ValueListEditorView& view, Dialogs& dialogs)
      : QStyledItemDelegate(&view), view_(view), dialogs_(dialogs) {}

  // False, once the user has been told why, when the text of `editor`
  // cannot be stored.
  bool MayLeave(QWidget* editor) { return !Refuse(editor); }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    ValueListEditor& grid = view_.Grid();
    CellState state;
    state.selected = option.state & QStyle::State_Selected;
    state.focused = view_.hasFocus() && index == view_.currentIndex();
    state.fixed = index.column() == 0;
    CellPaint paint =
        grid.OnDrawCell() ? grid.OnDrawCell()(index.column(), index.row() + 1, state) : CellPaint{};
    PaintCell(painter, option.rect, paint, option.palette, state.selected);
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex& index) const override {
    const ItemProp& props = view_.Grid().ItemProps(index.row());
    QWidget* editor = nullptr;
    if (!props.pickList.empty()) {
      auto* combo = new QComboBox(parent);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      if (!props.editMask.empty()) combo->setLineEdit(new MaskedLineEdit(props.editMask, combo));
      for (const std::string& entry : props.pickList) combo->addItem(FromCp932(entry));
      QObject::connect(combo, &QComboBox::activated, combo, [combo](int chosen) {
        if (auto* masked = dynamic_cast<MaskedLineEdit*>(combo->lineEdit())) {
          masked->Load(ToCp932(combo->itemText(chosen)).value_or(std::string()));
        }
      });
      editor = combo;
    } else if (!props.editMask.empty()) {
      editor = new MaskedLineEdit(props.editMask, parent);
    } else {
      editor = new QLineEdit(parent);
    }
    editor->setFont(ToQFont(view_.Grid().EffectiveFont()));
    editor->setObjectName(QStringLiteral("CellEditor"));
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    const std::string& value = view_.Grid().Value(index.row());
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      if (auto* masked = dynamic_cast<MaskedLineEdit*>(combo->lineEdit())) {
        masked->Load(value);
      } else {
        combo->setEditText(FromCp932(value));
      }
    } else if (auto* masked = dynamic_cast<MaskedLineEdit*>(editor)) {
      masked->Load(value);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      line->setText(FromCp932(value));
    }
  }

  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    std::string problem;
    std::optional<std::string> value = EditorValue(editor, &problem);
    if (!value) return;
    if (*value != view_.Grid().Value(index.row())) {
      view_.Grid().UserSetValue(index.row(), std::move(*value));
    }
  }

  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex&) const override {
    editor->setGeometry(option.rect);
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor == nullptr) return QStyledItemDelegate::eventFilter(object, event);
    // The refusal's box takes the focus from the editor: that is no way out,
    // and the editor must still be there when the box has gone.
    if (refusing_) return false;
    if (event->type() == QEvent::KeyPress) {
      if (std::optional<bool> taken = KeyPressed(editor, *static_cast<QKeyEvent*>(event))) {
        return *taken;
      }
    } else if (event->type() == QEvent::FocusOut) {
      switch (static_cast<QFocusEvent*>(event)->reason()) {
        case Qt::ActiveWindowFocusReason:  // another window, a message box
        case Qt::PopupFocusReason:         // a drop-down list or a menu over the editor
          // The user comes back to the editor as it was.
          return false;
        default:
          if (Refuse(editor)) return true;
      }
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  // The keys that leave the cell. Whether the key was taken, or nothing for
  // the default handling (Enter stores, Escape restores).
  std::optional<bool> KeyPressed(QWidget* editor, const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers = key.modifiers();
    switch (key.key()) {
      case Qt::Key_Up:
      case Qt::Key_Down:
        // Alt+Down opens a pick list, as F4 does.
        if (modifiers & Qt::AltModifier) return std::nullopt;
        if (!Refuse(editor)) MoveCurrent(key.key() == Qt::Key_Up ? -1 : 1);
        return true;
      case Qt::Key_Tab:
      case Qt::Key_Backtab: {
        if (Refuse(editor)) return true;
        // Ctrl+Tab belongs to the pages.
        if (modifiers & Qt::ControlModifier) return false;
        // Tab leaves the grid for the next control, as it would with no
        // editor open; the editor stores its text as the focus goes.
        const bool forward = key.key() == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier);
        if (QWidget* next = view_.NextControl(forward)) {
          next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        }
        return true;
      }
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (Refuse(editor)) return true;
        return std::nullopt;
      default:
        return std::nullopt;
    }
  }

  static MaskedLineEdit* MaskedOf(QWidget* editor) {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      return dynamic_cast<MaskedLineEdit*>(combo->lineEdit());
    }
    return dynamic_cast<MaskedLineEdit*>(editor);
  }

  // The text to store, or nothing with `problem` (CP932) saying why not.
  static std::optional<std::string> EditorValue(QWidget* editor, std::string* problem) {
    if (MaskedLineEdit* masked = MaskedOf(editor)) {
      std::optional<std::string> text = masked->Commit();
      if (!text) *problem = EditMaskRefusalMessage();
      return text;
    }
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      text = combo->currentText();
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      text = line->text();
    }
    QString bad;
    std::optional<std::string> bytes = ToCp932(text, &bad);
    if (!bytes) *problem = UnusableCharacterMessage(static_cast<char32_t>(bad.toUcs4().value(0)));
    return bytes;
  }

  // True when the editor's text cannot be stored: the user hears and reads
  // why, and the editor keeps the focus.
  bool Refuse(QWidget* editor) {
    std::string problem;
    if (EditorValue(editor, &problem)) return false;
    // The box runs an event loop of its own, in which anything may happen
    // to the editor and to the grid it belongs to.
    QPointer<CellDelegate> alive(this);
    QPointer<QWidget> kept(editor);
    refusing_ = true;
    QApplication::beep();
    dialogs_.Message(problem);
    if (!alive) return true;
    refusing_ = false;
    if (kept) kept->setFocus();
    return true;
  }

  void MoveCurrent(int step) {
    QModelIndex current = view_.currentIndex();
    int row = std::clamp(current.row() + step, 0, view_.model()->rowCount() - 1);
    view_.setCurrentIndex(view_.model()->index(row, 1));
  }

  ValueListEditorView& view_;
  Dialogs& dialogs_;
  bool refusing_ = false;
};

ValueListEditorView::ValueListEditorView(ValueListEditor& grid, Dialogs& dialogs, QWidget* parent)
    : QTableView(parent),
      grid_(grid),
      model_(new ValueListModel(grid, this)),
      delegate_(new CellDelegate(*this, dialogs)) {
  setObjectName(QString::fromStdString(grid.Name()));
  setHorizontalHeader(new TitleHeader(grid, this));
  setModel(model_);
  setItemDelegate(delegate_);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(grid.DefaultRowHeight());
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setFixedHeight(grid.DefaultRowHeight());
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setSectionsClickable(false);
  horizontalHeader()->setHighlightSections(false);
  setShowGrid(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::AllEditTriggers);
  setTabKeyNavigation(false);
  setWordWrap(false);
  setFont(ToQFont(grid.EffectiveFont()));
  KeepSelectionVisibleWithoutFocus(*this);
  Refresh();
  if (grid.RowCount() > 0) {
    selectionModel()->setCurrentIndex(model_->index(0, 1), QItemSelectionModel::ClearAndSelect);
  }
  grid.SetChangeListener([this] { Refresh(); });
}

void ValueListEditorView::Refresh() {
  setColumnWidth(0, grid_.ColWidth(0));
  setColumnWidth(1, grid_.ColWidth(1));
  model_->Refresh();
  viewport()->update();
  horizontalHeader()->viewport()->update();
}

void ValueListEditorView::ShowEditor(const QModelIndex& index) {
  if (index.isValid() && index.column() == 1 && (model_->flags(index) & Qt::ItemIsEditable)) {
    edit(index);
  }
}

void ValueListEditorView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (hasFocus() || (QApplication::focusWidget() && isAncestorOf(QApplication::focusWidget()))) {
    QTimer::singleShot(0, this, [this, current] {
      if (currentIndex() == current && state() != QAbstractItemView::EditingState)
        ShowEditor(current);
    });
  }
}

QModelIndex ValueListEditorView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // The keys an editor leaves to the grid (Page Down, Ctrl+End...) move to
  // another cell, which is leaving this one.
  if (state() == EditingState && !MayLeaveFocusedCell(this)) return currentIndex();
  return QTableView::moveCursor(action, modifiers);
}

QWidget* ValueListEditorView::NextControl(bool forward) {
  for (QWidget* next = this;;) {
    next = forward ? next->nextInFocusChain() : next->previousInFocusChain();
    if (next == this) return nullptr;
    if (isAncestorOf(next) || next->focusProxy() != nullptr) continue;
    if ((next->focusPolicy() & Qt::TabFocus) && next->isVisible() && next->isEnabled()) return next;
  }
}

void ValueListEditorView::mousePressEvent(QMouseEvent* event) {
  QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && index.column() == 0) {
    // The key column is fixed: a click there goes to the row's value.
    setFocus();
    setCurrentIndex(model_->index(index.row(), 1));
    return;
  }
  QTableView::mousePressEvent(event);
}

void ValueListEditorView::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  viewport()->update();
  if (state() != QAbstractItemView::EditingState) ShowEditor(currentIndex());
}

void ValueListEditorView::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  viewport()->update();
}

bool MayLeaveFocusedCell(const QWidget* target) {
  // An open editor is a child of its grid's viewport.
  for (QWidget* editor = QApplication::focusWidget(); editor != nullptr;
       editor = editor->parentWidget()) {
    QWidget* viewport = editor->parentWidget();
    auto* view = viewport ? dynamic_cast<ValueListEditorView*>(viewport->parentWidget()) : nullptr;
    if (view == nullptr || view->viewport() != viewport) continue;
    if (target != nullptr && (target == editor || editor->isAncestorOf(target))) return true;
    return view->delegate_->MayLeave(editor);
  }
  return true;
}

}  // namespace tavrin::qt
