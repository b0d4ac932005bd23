#pragma once
// The busy animation over a form: the form is veiled, a ring turns and the
// text of the running operation is shown, while a long call runs.
#include <QString>
#include <QTimer>
#include <QWidget>

namespace qtfront {

class BusyOverlay : public QWidget {
 public:
  explicit BusyOverlay(QWidget* form);
  // Nested calls are counted: the animation ends with the last Stop.
  void Start(const QString& text);
  void Stop();
  bool Running() const { return depth_ > 0; }
  const QString& Text() const { return text_; }
  int Frames() const { return frames_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTimer timer_;
  QString text_;
  int depth_ = 0;
  int frames_ = 0;
};

}  // namespace qtfront
