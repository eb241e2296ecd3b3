// TComponent: the base of every component, with the owner mechanism.
//
// A component created with an owner is freed by that owner's destructor, last
// created first. A component freed before its owner takes itself out of the
// owner's list, so nothing is freed twice. Components with an owner must
// therefore be created with `new`; one without an owner is the caller's to free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quorin/framework/Export.h"

namespace framework {

class FRAMEWORK_API TComponent {
 public:
  explicit TComponent(TComponent* AOwner);
  virtual ~TComponent();

  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }

  std::string Name() const { return FName; }
  // A name is empty or an identifier (a letter or '_', then letters, digits,
  // '_'), unique among the owner's components without regard to case.
  // Throws EComponentError otherwise and keeps the old name.
  void SetName(std::string NewName);

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  // Throws std::out_of_range for an index outside 0..ComponentCount()-1.
  TComponent* Components(int Index) const;
  // The owned component of that name (case-insensitive), or nullptr.
  TComponent* FindComponent(std::string_view AName) const;

  // Makes this component the owner of Child, taking it from its former owner.
  // Throws EComponentError, changing nothing, when the name is taken here.
  void InsertComponent(TComponent* Child);
  // Gives up ownership of Child, which the caller must then free.
  void RemoveComponent(TComponent* Child) noexcept;

 private:
  void Insert(TComponent* Child);
  void Remove(TComponent* Child) noexcept;

  TComponent* FOwner;
  std::string FName;
  std::vector<TComponent*> FComponents;
};

}  // namespace framework
