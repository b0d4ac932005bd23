#include "host/toolkit/component.h"

#include <stdexcept>

namespace tk {

TComponent::TComponent(TComponent* owner, std::string class_name, std::string name)
    : owner_(owner), class_name_(std::move(class_name)), name_(std::move(name)) {}

TComponent::~TComponent() { DestroyComponents(); }

void TComponent::DestroyComponents() {
  // Newest first, like the children of a form.
  while (!components_.empty()) components_.pop_back();
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (const auto& c : components_) {
    if (c->Name() == name) return c.get();
  }
  return nullptr;
}

void TComponent::Adopt(std::unique_ptr<TComponent> component) {
  if (!component->Name().empty() && FindComponent(component->Name())) {
    throw std::invalid_argument("a component named '" + component->Name() + "' already exists");
  }
  components_.push_back(std::move(component));
}

}  // namespace tk
