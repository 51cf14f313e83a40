#include "platform/qt/ViewBuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "platform/controls/Button.h"
#include "platform/controls/CheckBox.h"
#include "platform/controls/CheckListBox.h"
#include "platform/controls/Edit.h"
#include "platform/controls/GroupBox.h"
#include "platform/controls/Label.h"
#include "platform/controls/PageControl.h"
#include "platform/controls/Panel.h"
#include "platform/controls/ShellComboBox.h"
#include "platform/controls/ShellListView.h"
#include "platform/controls/ValueListEditor.h"
#include "platform/qt/CheckListBoxView.h"
#include "platform/qt/FolderViews.h"
#include "platform/qt/QtText.h"
#include "platform/qt/ValueListEditorView.h"

namespace tavrin::qt {
namespace {

// The classic check box: a 13-pixel box and a 4-pixel gap. A date-set box
// is 89 pixels wide and "最終更新日時" takes 72 in the 12-pixel font, as six
// ideographs do in any Japanese face; the toolkit's own style would keep 20
// for its box and gap.
class ClassicCheckStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    switch (metric) {
      case PM_IndicatorWidth:
      case PM_IndicatorHeight:
        return 13;
      case PM_CheckBoxLabelSpacing:
        return 4;
      default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }
};

// The wheel over the page tabs turns the pages; like a click on a tab, it
// first asks the cell being edited whether it may be left.
class PageWheelGuard : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Wheel && !MayLeaveFocusedCell()) return true;
    return QObject::eventFilter(watched, event);
  }
};

void Place(QWidget* widget, const Control& control) {
  const Rect& r = control.Bounds();
  widget->setObjectName(QString::fromStdString(control.Name()));
  widget->setFont(ToQFont(control.EffectiveFont()));
  if (r.width > 0 && r.height > 0) {
    widget->setGeometry(r.left, r.top, r.width, r.height);
  } else {
    widget->adjustSize();
    widget->move(r.left, r.top);
  }
  widget->setEnabled(control.Enabled());
}

QWidget* ButtonView(Button& button, QWidget* parent, Dialogs& dialogs) {
  auto* view = new QPushButton(FromCp932(button.Caption()), parent);
  view->setDefault(button.IsDefault());
  view->setAutoDefault(button.IsDefault());
  QObject::connect(view, &QPushButton::clicked, view, [&button, &dialogs, view] {
    RunHandler(dialogs, [&] { button.Click(); });
    if (button.ModalResult() != 0) {
      if (auto* dialog = qobject_cast<QDialog*>(view->window())) dialog->done(button.ModalResult());
    }
  });
  button.SetChangeListener([&button, view] {
    view->setText(FromCp932(button.Caption()));
    view->setEnabled(button.Enabled());
  });
  return view;
}

QWidget* CheckBoxView(CheckBox& box, QWidget* parent, Dialogs& dialogs) {
  auto* view = new QCheckBox(FromCp932(box.Caption()), parent);
  auto* style = new ClassicCheckStyle;
  style->setParent(view);
  view->setStyle(style);
  view->setChecked(box.Checked());
  QObject::connect(view, &QCheckBox::clicked, view, [&box, &dialogs](bool checked) {
    RunHandler(dialogs, [&] { box.SetChecked(checked); });
  });
  box.SetChangeListener([&box, view] {
    view->setText(FromCp932(box.Caption()));
    view->setChecked(box.Checked());
    view->setEnabled(box.Enabled());
  });
  return view;
}

QString EditText(const Edit& edit) {
  return edit.HoldsFileName() ? FromNativePath(edit.Text()) : FromCp932(edit.Text());
}

QWidget* EditView(Edit& edit, QWidget* parent, Dialogs& dialogs) {
  auto* view = new QLineEdit(EditText(edit), parent);
  QObject::connect(view, &QLineEdit::returnPressed, view,
                   [&edit, &dialogs] { RunHandler(dialogs, [&edit] { edit.PressReturn(); }); });
  QObject::connect(view, &QLineEdit::textEdited, view, [&edit, view](const QString& text) {
    if (edit.HoldsFileName()) {
      edit.SetText(ToNativePath(text));
    } else if (std::optional<std::string> bytes = ToCp932(text)) {
      edit.SetText(std::move(*bytes));
    } else {
      QApplication::beep();
      view->setText(EditText(edit));
    }
  });
  edit.SetChangeListener([&edit, view] {
    QString text = EditText(edit);
    if (view->text() != text) view->setText(text);
    view->setEnabled(edit.Enabled());
  });
  return view;
}

QWidget* PageControlView(PageControl& pages, QWidget* parent, Dialogs& dialogs) {
  auto* view = new QTabWidget(parent);
  for (TabSheet* sheet : pages.Pages()) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromStdString(sheet->Name()));
    view->addTab(page, FromCp932(sheet->Caption()));
    BuildChildViews(*sheet, page, dialogs);
  }
  view->setCurrentIndex(pages.ActivePageIndex());
  view->tabBar()->installEventFilter(new PageWheelGuard(view));
  QObject::connect(view, &QTabWidget::currentChanged, view, [&pages](int index) {
    if (pages.ActivePageIndex() != index) pages.SetActivePageIndex(index);
  });
  pages.SetChangeListener([&pages, view] {
    if (view->currentIndex() != pages.ActivePageIndex())
      view->setCurrentIndex(pages.ActivePageIndex());
  });
  return view;
}

QWidget* LabelView(Label& label, QWidget* parent) {
  auto* view = new QLabel(FromCp932(label.Caption()), parent);
  label.SetChangeListener([&label, view] {
    view->setText(FromCp932(label.Caption()));
    view->adjustSize();
  });
  return view;
}

QWidget* ImageView(Image& image, QWidget* parent) {
  auto* view = new QLabel(parent);
  view->setScaledContents(true);
  view->setPixmap(QPixmap(QString::fromStdString(image.Resource())));
  return view;
}

}  // namespace

QWidget* BuildView(Control& control, QWidget* parent, Dialogs& dialogs) {
  QWidget* view = nullptr;
  bool hasChildren = false;
  if (auto* grid = dynamic_cast<ValueListEditor*>(&control)) {
    view = new ValueListEditorView(*grid, dialogs, parent);
  } else if (auto* list = dynamic_cast<CheckListBox*>(&control)) {
    view = new CheckListBoxView(*list, dialogs, parent);
  } else if (auto* combo = dynamic_cast<ShellComboBox*>(&control)) {
    view = new FolderComboView(*combo, dialogs, parent);
  } else if (auto* folder = dynamic_cast<ShellListView*>(&control)) {
    view = new FolderListView(*folder, dialogs, parent);
  } else if (auto* pages = dynamic_cast<PageControl*>(&control)) {
    view = PageControlView(*pages, parent, dialogs);
  } else if (auto* button = dynamic_cast<Button*>(&control)) {
    view = ButtonView(*button, parent, dialogs);
  } else if (auto* box = dynamic_cast<CheckBox*>(&control)) {
    view = CheckBoxView(*box, parent, dialogs);
  } else if (auto* edit = dynamic_cast<Edit*>(&control)) {
    view = EditView(*edit, parent, dialogs);
  } else if (dynamic_cast<GroupBox*>(&control) != nullptr) {
    view = new QGroupBox(FromCp932(control.Caption()), parent);
    hasChildren = true;
  } else if (dynamic_cast<Panel*>(&control) != nullptr) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    view = frame;
    hasChildren = true;
  } else if (auto* image = dynamic_cast<Image*>(&control)) {
    view = ImageView(*image, parent);
  } else if (auto* label = dynamic_cast<Label*>(&control)) {
    view = LabelView(*label, parent);
  }
  if (view == nullptr) return nullptr;
  Place(view, control);
  if (hasChildren) BuildChildViews(control, view, dialogs);
  return view;
}

void BuildChildViews(Control& control, QWidget* parent, Dialogs& dialogs) {
  for (Control* child : control.Children()) BuildView(*child, parent, dialogs);
}

}  // namespace tavrin::qt
