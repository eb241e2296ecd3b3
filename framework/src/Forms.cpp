// Writing and reading text forms.
#include "quorin/framework/Forms.h"

#include <memory>
#include <sstream>
#include <vector>

#include "quorin/framework/ClassRegistry.h"
#include "quorin/framework/FileStream.h"

namespace framework {
namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::string Join(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

struct TObjectText {
  int line;
  std::string name;
  const TComponentClass* cls;
  std::vector<std::pair<const TPropInfo*, int>> values;
};

// Parses the whole text and checks every name against the registry.
std::vector<TObjectText> Parse(const std::string& Text) {
  std::vector<TObjectText> objects;
  std::istringstream in(Text);
  TObjectText* open = nullptr;
  int lineNo = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++lineNo;
    const std::string line = Trim(raw);
    if (line.empty()) continue;
    if (open == nullptr) {
      // object Name: ClassName
      if (line.rfind("object ", 0) != 0 || line.find(':') == std::string::npos)
        throw EFormError(lineNo, "expected 'object Name: ClassName', found '" + line + "'");
      const auto colon = line.find(':');
      const std::string name = Trim(line.substr(7, colon - 7));
      const std::string className = Trim(line.substr(colon + 1));
      if (name.empty())
        throw EFormError(lineNo, "an object needs a name: 'object Name: " + className + "'");
      const TComponentClass* cls = FindComponentClass(className);
      if (cls == nullptr) throw EFormError(lineNo, "unknown class '" + className + "'");
      objects.push_back({lineNo, name, cls, {}});
      open = &objects.back();
      continue;
    }
    if (line == "end") {
      open = nullptr;
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos)
      throw EFormError(lineNo, "expected 'Property = Value' or 'end', found '" + line + "'");
    const std::string propName = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    const TPropInfo* prop = open->cls->FindProperty(propName);
    if (prop == nullptr)
      throw EFormError(lineNo, open->cls->ClassName + " has no property '" + propName + "'");
    const int ordinal = prop->EnumValue(value);
    if (ordinal < 0)
      throw EFormError(lineNo, "'" + value + "' is not a value of " + prop->TypeName + " (" +
                                   Join(prop->EnumNames) + ")");
    open->values.emplace_back(prop, ordinal);
  }
  if (open != nullptr)
    throw EFormError(lineNo, "'end' missing for object " + open->name + " begun on line " +
                                 std::to_string(open->line));
  return objects;
}

}  // namespace

EFormError::EFormError(int ALine, const std::string& Message)
    : EComponentError("form line " + std::to_string(ALine) + ": " + Message), Line(ALine) {}

std::string WriteFormText(const TComponent& Owner) {
  std::string out;
  for (int i = 0; i < Owner.ComponentCount(); ++i) {
    const TComponent& c = *Owner.Components(i);
    const TComponentClass* cls = ClassOf(c);
    if (cls == nullptr)
      throw EComponentError("component " + std::to_string(i) + " has no registered class");
    if (c.Name().empty())
      throw EComponentError("a " + cls->ClassName + " without a name cannot be stored");
    out += "object " + c.Name() + ": " + cls->ClassName + "\n";
    for (const TPropInfo& p : cls->Properties) {
      const int ordinal = p.GetOrd(c);
      const std::string value = p.EnumName(ordinal);
      if (value.empty())
        throw EComponentError(c.Name() + "." + p.Name + " holds " + std::to_string(ordinal) +
                              ", which is not a value of " + p.TypeName);
      out += "  " + p.Name + " = " + value + "\n";
    }
    out += "end\n";
  }
  return out;
}

void ReadFormText(TComponent& Owner, const std::string& Text) {
  const std::vector<TObjectText> objects = Parse(Text);
  // Build under a staging owner, so that a failure frees everything built so far.
  TComponent staging(nullptr);
  for (const TObjectText& o : objects) {
    TComponent* c = o.cls->Create(&staging);
    try {
      c->SetName(o.name);
    } catch (const EComponentError& e) {
      throw EFormError(o.line, e.what());
    }
    if (TComponent* clash = Owner.FindComponent(o.name); clash != nullptr)
      throw EFormError(o.line, "the owner already has a component named '" + o.name + "'");
    for (const auto& [prop, ordinal] : o.values) prop->SetOrd(*c, ordinal);
  }
  while (staging.ComponentCount() > 0) Owner.InsertComponent(staging.Components(0));
}

void SaveForm(const TComponent& Owner, const std::string& FileName) {
  const std::string text = WriteFormText(Owner);
  TFileStream out(FileName, fmCreate);
  if (out.Write(text.data(), static_cast<std::int32_t>(text.size())) !=
      static_cast<std::int32_t>(text.size()))
    throw EStreamError(0, "short write to '" + FileName + "'");
}

void LoadForm(TComponent& Owner, const std::string& FileName) {
  TFileStream in(FileName, fmOpenRead);
  std::string text(static_cast<std::size_t>(in.GetSize()), '\0');
  if (in.Read(text.data(), static_cast<std::int32_t>(text.size())) !=
      static_cast<std::int32_t>(text.size()))
    throw EStreamError(0, "short read from '" + FileName + "'");
  ReadFormText(Owner, text);
}

}  // namespace framework
