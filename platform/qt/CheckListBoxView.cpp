#include "platform/qt/CheckListBoxView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "platform/qt/QtText.h"

namespace tavrin::qt {
namespace {

constexpr int kBox = 9;

// Items are only 11 pixels high, less than the style's own check boxes, so
// the list draws small boxes of its own: a disabled item's box is greyed.
class SmallCheckDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    painter->save();
    const bool enabled = index.flags() & Qt::ItemIsEnabled;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    QRect text = option.rect.adjusted(kBox + 5, 0, 0, 0);
    if (selected) painter->fillRect(text, palette.color(QPalette::Active, QPalette::Highlight));
    QRect box(option.rect.left() + 2, option.rect.center().y() - kBox / 2, kBox, kBox);
    painter->fillRect(box, palette.color(enabled ? QPalette::Base : QPalette::Button));
    painter->setPen(palette.color(enabled ? QPalette::Dark : QPalette::Mid));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    if (index.data(Qt::CheckStateRole).toInt() == Qt::Checked) {
      painter->setPen(QPen(palette.color(enabled ? QPalette::Text : QPalette::Mid), 1.5));
      painter->setRenderHint(QPainter::Antialiasing);
      QPointF a(box.left() + 2, box.top() + 4.5), b(box.left() + 4, box.bottom() - 2),
          c(box.right() - 1.5, box.top() + 2);
      painter->drawPolyline(QList<QPointF>{a, b, c});
    }
    painter->setFont(option.font);
    QPalette::ColorRole role = selected ? QPalette::HighlightedText : QPalette::Text;
    painter->setPen(enabled ? palette.color(QPalette::Active, role)
                            : palette.color(QPalette::Disabled, QPalette::Text));
    painter->drawText(text.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(Qt::DisplayRole).toString());
    // Where Space will act: a dotted frame round the current item's text
    // while the list has the focus, whatever the style draws for focus.
    if (option.state & QStyle::State_HasFocus) {
      painter->setPen(QPen(painter->pen().color(), 1, Qt::DotLine));
      painter->drawRect(text.adjusted(0, 0, -1, -1));
    }
    painter->restore();
  }
};

}  // namespace

CheckListBoxView::CheckListBoxView(CheckListBox& list, Dialogs& dialogs, QWidget* parent)
    : QListWidget(parent), list_(list), dialogs_(dialogs) {
  setObjectName(QString::fromStdString(list.Name()));
  setFont(ToQFont(list.EffectiveFont()));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new SmallCheckDelegate(this));
  Refresh();
  list.SetChangeListener([this] { Refresh(); });
}

void CheckListBoxView::Refresh() {
  while (count() > list_.Count()) delete takeItem(count() - 1);
  while (count() < list_.Count()) addItem(new QListWidgetItem);
  for (int i = 0; i < list_.Count(); ++i) {
    QListWidgetItem* row = item(i);
    row->setText(FromCp932(list_.Item(i)));
    row->setSizeHint(QSize(0, list_.ItemHeight()));
    row->setCheckState(list_.Checked(i) ? Qt::Checked : Qt::Unchecked);
    row->setFlags(list_.ItemEnabled(i) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                       : Qt::NoItemFlags);
  }
}

void CheckListBoxView::Toggle(int row) {
  RunHandler(dialogs_, [&] { list_.UserToggle(row); });
}

void CheckListBoxView::mousePressEvent(QMouseEvent* event) {
  QListWidget::mousePressEvent(event);
  QListWidgetItem* hit = itemAt(event->position().toPoint());
  if (hit == nullptr || event->button() != Qt::LeftButton) return;
  // Only the box toggles; a click on the text just chooses the item.
  if (event->position().x() < visualItemRect(hit).left() + kBox + 4) Toggle(row(hit));
}

void CheckListBoxView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && currentRow() >= 0) {
    Toggle(currentRow());
    return;
  }
  QListWidget::keyPressEvent(event);
}

}  // namespace tavrin::qt
