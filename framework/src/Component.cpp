// The owner mechanism and component names.
#include "quorin/framework/Component.h"

#include <algorithm>
#include <stdexcept>

#include "quorin/framework/Exceptions.h"

namespace framework {
namespace {

bool IsIdentifier(std::string_view s) {
  auto isAlpha = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
  };
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if (s.empty() || !isAlpha(s.front())) return false;
  return std::all_of(s.begin(), s.end(), [&](char c) { return isAlpha(c) || isDigit(c); });
}

bool SameName(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

TComponent::TComponent(TComponent* AOwner) : FOwner(nullptr) {
  if (AOwner != nullptr) AOwner->Insert(this);
}

TComponent::~TComponent() {
  // Free the owned components, newest first; each is taken out of the list
  // before it is freed so that its own destructor finds nothing to remove.
  while (!FComponents.empty()) {
    TComponent* child = FComponents.back();
    FComponents.pop_back();
    child->FOwner = nullptr;
    delete child;
  }
  if (FOwner != nullptr) FOwner->Remove(this);
}

void TComponent::SetName(std::string NewName) {
  if (!NewName.empty() && !IsIdentifier(NewName))
    throw EComponentError("'" + NewName + "' is not a valid component name");
  if (!NewName.empty() && FOwner != nullptr) {
    TComponent* other = FOwner->FindComponent(NewName);
    if (other != nullptr && other != this)
      throw EComponentError("a component named '" + NewName + "' already exists");
  }
  FName = std::move(NewName);
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw std::out_of_range("component index " + std::to_string(Index) + " out of bounds");
  return FComponents[static_cast<std::size_t>(Index)];
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameName(c->FName, AName)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* Child) {
  if (Child->FOwner == this) return;
  TComponent* clash = FindComponent(Child->FName);
  if (clash != nullptr)
    throw EComponentError("a component named '" + Child->FName + "' already exists");
  if (Child->FOwner != nullptr) Child->FOwner->Remove(Child);
  Insert(Child);
}

void TComponent::RemoveComponent(TComponent* Child) noexcept {
  if (Child->FOwner == this) Remove(Child);
}

void TComponent::Insert(TComponent* Child) {
  FComponents.push_back(Child);
  Child->FOwner = this;
}

void TComponent::Remove(TComponent* Child) noexcept {
  auto it = std::find(FComponents.begin(), FComponents.end(), Child);
  if (it != FComponents.end()) FComponents.erase(it);
  Child->FOwner = nullptr;
}

}  // namespace framework
