#pragma once
// Controls that only show something: labels, group boxes, panels, images and
// the progress bar.
#include <string>

#include "host/toolkit/control.h"

namespace tk {

class TLabel : public TControl {
 public:
  TLabel(TComponent* owner, std::string name) : TControl(owner, "TLabel", std::move(name)) {}
};

class TGroupBox : public TWinControl {
 public:
  TGroupBox(TComponent* owner, std::string name) : TWinControl(owner, "TGroupBox", std::move(name)) {}
};

class TPanel : public TWinControl {
 public:
  enum class Align { alNone, alClient, alTop, alBottom, alLeft, alRight };
  TPanel(TComponent* owner, std::string name) : TWinControl(owner, "TPanel", std::move(name)) {}
  Align Alignment() const { return align_; }
  void SetAlignment(Align a) { align_ = a; }
  bool Bevel() const { return bevel_; }
  void SetBevel(bool value) { bevel_ = value; }

 private:
  Align align_ = Align::alNone;
  bool bevel_ = true;
};

class TImage : public TControl {
 public:
  TImage(TComponent* owner, std::string name) : TControl(owner, "TImage", std::move(name)) {}
};

class TProgressBar : public TWinControl {
 public:
  TProgressBar(TComponent* owner, std::string name) : TWinControl(owner, "TProgressBar", std::move(name)) {}
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetRange(int min, int max) {
    min_ = min;
    max_ = max;
  }
  void SetPosition(int p) { position_ = p < min_ ? min_ : (p > max_ ? max_ : p); }

 private:
  int min_ = 0, max_ = 100, position_ = 0;
};

}  // namespace tk
