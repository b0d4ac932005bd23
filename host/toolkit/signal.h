#pragma once
// A minimal observer list: front-ends subscribe to a control to mirror what the
// program changes. Slots run in subscription order; a slot may not unsubscribe
// while the signal is being emitted.
#include <cstddef>
#include <functional>
#include <map>

namespace tk {

template <typename... Args>
class Signal {
 public:
  using Slot = std::function<void(Args...)>;
  std::size_t Connect(Slot slot) {
    slots_.emplace(next_, std::move(slot));
    return next_++;
  }
  void Disconnect(std::size_t id) { slots_.erase(id); }
  void Emit(Args... args) const {
    for (const auto& [id, slot] : slots_) slot(args...);
  }

 private:
  std::map<std::size_t, Slot> slots_;
  std::size_t next_ = 1;
};

}  // namespace tk
