#include "host/qt/busy_overlay.h"

#include <QEvent>
#include <QPainter>

#include "host/qt/palette.h"

namespace qtfront {

BusyOverlay::BusyOverlay(QWidget* form) : QWidget(form) {
  setObjectName("animacao");
  setAttribute(Qt::WA_NoSystemBackground);
  hide();
  form->installEventFilter(this);
  timer_.setInterval(60);
  connect(&timer_, &QTimer::timeout, this, [this] {
    ++frames_;
    update();
  });
}

void BusyOverlay::Start(const QString& text) {
  // An animation without a text of its own still says that the screen waits.
  text_ = text.isEmpty() ? QString("Aguarde...") : text;
  if (depth_++ == 0) {
    frames_ = 0;
    setGeometry(parentWidget()->rect());
    raise();
    show();
    timer_.start();
  }
  update();
}

void BusyOverlay::Stop() {
  if (depth_ == 0 || --depth_ > 0) return;
  timer_.stop();
  hide();
}

bool BusyOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

void BusyOverlay::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), QColor(255, 255, 255, 110));

  const QFont font = ScreenFont(true);
  const int text_width = QFontMetrics(font).horizontalAdvance(text_);
  const QSize box_size(std::max(200, text_width + 40), 110);
  const QRect box(rect().center() - QPoint(box_size.width() / 2, box_size.height() / 2), box_size);
  p.setPen(QPen(QColor(120, 120, 120), 1));
  p.setBrush(QColor(250, 250, 250));
  p.drawRoundedRect(box, 8, 8);

  const QRectF ring(box.center().x() - 18, box.top() + 16, 36, 36);
  p.setPen(QPen(QColor(220, 220, 220), 5));
  p.drawEllipse(ring);
  p.setPen(QPen(QColor(30, 100, 180), 5, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(ring, (90 - frames_ * 30) * 16, -100 * 16);

  p.setFont(font);
  p.setPen(Qt::black);
  p.drawText(QRect(box.left() + 10, box.top() + 62, box.width() - 20, 36), Qt::AlignCenter, text_);
}

}  // namespace qtfront
