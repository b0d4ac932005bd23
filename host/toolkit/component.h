#pragma once
// Components: every object of a form, visual or not, with a name and an owner.
// The owner destroys what it owns; names are unique among an owner's children.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tk {

class TComponent;

// Event signatures shared by every component. Handlers receive the sender.
using TNotifyEvent = std::function<void(TComponent& sender)>;
// The handler may replace the key by U'\0' (discarded) or throw (not inserted).
using TKeyPressEvent = std::function<void(TComponent& sender, char32_t& key)>;

class TComponent {
 public:
  TComponent(TComponent* owner, std::string class_name, std::string name);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& ClassName() const { return class_name_; }
  TComponent* Owner() const { return owner_; }

  // Creates a component owned by this one. Throws std::invalid_argument when
  // the name is taken.
  template <typename T, typename... Args>
  T& Create(const std::string& name, Args&&... args) {
    auto component = std::make_unique<T>(this, name, std::forward<Args>(args)...);
    T& ref = *component;
    Adopt(std::move(component));
    return ref;
  }

  // The owned component with that name, or nullptr.
  TComponent* FindComponent(const std::string& name) const;
  const std::vector<std::unique_ptr<TComponent>>& Components() const { return components_; }

 protected:
  // Destroys the owned components now, newest first.
  void DestroyComponents();

 private:
  void Adopt(std::unique_ptr<TComponent> component);

  TComponent* owner_;
  std::string class_name_;
  std::string name_;
  std::vector<std::unique_ptr<TComponent>> components_;
};

}  // namespace tk
