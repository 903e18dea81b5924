#include "widgets/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <QWheelEvent>

TUpDown::TUpDown(QLineEdit* buddy, int min, int max, int position, QWidget* parent)
    : QWidget(parent),
      FBuddy(buddy),
      FUp(new QToolButton(this)),
      FDown(new QToolButton(this)),
      FMin(min),
      FMax(max),
      FLast(position) {
  setFocusPolicy(Qt::StrongFocus);
  for (QToolButton* b : {FUp, FDown}) {
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(true);
    b->setAutoRepeatDelay(400);
    b->setAutoRepeatInterval(60);
  }
  FUp->setArrowType(Qt::UpArrow);
  FDown->setArrowType(Qt::DownArrow);
  connect(FUp, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(FDown, &QToolButton::clicked, this, [this] { Step(-1); });
  FBuddy->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), FBuddy));
  FBuddy->installEventFilter(this);
  SetPosition(position);
}

int TUpDown::Position() const {
  bool ok = false;
  const int typed = FBuddy->text().toInt(&ok);
  if (ok) FLast = std::clamp(typed, FMin, FMax);
  return FLast;
}

void TUpDown::SetPosition(int position) {
  FLast = std::clamp(position, FMin, FMax);
  const QString text = QString::number(FLast);
  if (FBuddy->text() != text) FBuddy->setText(text);
}

int TUpDown::FieldWidthForRange() const {
  const QFontMetrics metrics(FBuddy->font());
  const int text = std::max(metrics.horizontalAdvance(QString::number(FMin)),
                            metrics.horizontalAdvance(QString::number(FMax)));
  QStyleOptionFrame frame;
  frame.initFrom(FBuddy);
  frame.lineWidth = FBuddy->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, FBuddy);
  // A line edit keeps 2 pixels between its frame and its text on either
  // side; the cursor after the text takes 1 more.
  const QMargins margins = FBuddy->textMargins() + FBuddy->contentsMargins();
  const QSize contents(text + margins.left() + margins.right() + 2 * 2 + 1, metrics.height());
  return FBuddy->style()->sizeFromContents(QStyle::CT_LineEdit, &frame, contents, FBuddy).width();
}

void TUpDown::Step(int delta) {
  if (!isEnabled()) return;
  SetPosition(Position() + delta);
}

void TUpDown::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up) return Step(+1);
  if (event->key() == Qt::Key_Down) return Step(-1);
  QWidget::keyPressEvent(event);
}

void TUpDown::wheelEvent(QWheelEvent* event) {
  Step(event->angleDelta().y() > 0 ? +1 : -1);
  event->accept();
}

void TUpDown::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  FUp->setGeometry(0, 0, width(), half);
  FDown->setGeometry(0, half, width(), height() - half);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FBuddy && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
