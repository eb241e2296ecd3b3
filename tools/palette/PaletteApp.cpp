// The commands of quorin-palette, callable in-process (the form fuzzer drives
// them through this entry point).
#include "PaletteApp.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "quorin/framework/Classes.h"
#include "quorin/framework/Forms.h"
#include "quorin/framework/Package.h"

namespace {

using namespace framework;

std::unique_ptr<TPackage> Install(const std::string& path) {
  auto package = LoadPackage(path);
  InstallPackage(*package);
  return package;
}

void PrintPalette(const TPackage& package) {
  const TPackageInfoTable& info = package.Info();
  std::cout << info.Name << " " << info.Version << " (requires " << info.RequiredFramework << ")\n";
  for (const TPalettePage& page : PalettePages()) {
    std::cout << page.Name << ":";
    for (std::size_t i = 0; i < page.Classes.size(); ++i)
      std::cout << (i == 0 ? " " : ", ") << page.Classes[i]->ClassName;
    std::cout << "\n";
  }
}

void WriteBitmap(const TPackage& package, const std::string& className, const std::string& out) {
  const auto bmp = package.FindResource(className);
  if (bmp.empty()) throw std::runtime_error("package has no bitmap named " + className);
  std::ofstream f(out, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  if (!f.flush()) throw std::runtime_error("cannot write " + out);
  std::cout << "wrote " << bmp.size() << " bytes to " << out << "\n";
}

void NewForm(const std::string& file, const std::string& className, const std::string& name,
             const std::vector<std::string>& settings) {
  const TComponentClass* cls = FindComponentClass(className);
  if (cls == nullptr) throw std::runtime_error("no class " + className + " on the palette");
  TComponent form(nullptr);
  TComponent* c = cls->Create(&form);
  c->SetName(name);
  for (const std::string& s : settings) {
    const auto eq = s.find('=');
    if (eq == std::string::npos)
      throw CLI::ValidationError("--set", "expected Property=Value, got '" + s + "'");
    const TPropInfo* prop = cls->FindProperty(s.substr(0, eq));
    if (prop == nullptr)
      throw std::runtime_error(className + " has no property '" + s.substr(0, eq) + "'");
    const int ordinal = prop->EnumValue(s.substr(eq + 1));
    if (ordinal < 0) {
      std::string values;
      for (const auto& v : prop->EnumNames) values += (values.empty() ? "" : ", ") + v;
      throw std::runtime_error("'" + s.substr(eq + 1) + "' is not a value of " + prop->TypeName +
                               " (" + values + ")");
    }
    prop->SetOrd(*c, ordinal);
  }
  SaveForm(form, file);
  std::cout << WriteFormText(form);
}

void ShowForm(const std::string& file) {
  TComponent form(nullptr);
  LoadForm(form, file);
  std::cout << WriteFormText(form);
}

}  // namespace

int RunPalette(int argc, char** argv) {
  CLI::App app{
      "Shows what a component package puts on the palette.\n\n"
      "Examples:\n"
      "  quorin-palette list lib/libtamberlo.so\n"
      "  quorin-palette bitmap lib/libtamberlo.so TQuorin.bmp\n"
      "  quorin-palette form-new lib/libtamberlo.so form.txt --set CipherMode=CBC --set "
      "KeySize=Large256\n"
      "  quorin-palette form-show lib/libtamberlo.so form.txt\n",
      "quorin-palette"};
  app.require_subcommand(1);
  app.allow_windows_style_options(false);  // "/path/pkg" is a path on every platform
  std::string package, out, form, className = "TQuorin", name = "Quorin1";
  std::vector<std::string> settings;

  auto* list = app.add_subcommand("list", "print the package and its palette pages");
  list->add_option("package", package, "path of the package (.so)")->required();
  auto* bitmap = app.add_subcommand("bitmap", "write a class's palette bitmap to a .bmp file");
  bitmap->add_option("package", package, "path of the package (.so)")->required();
  bitmap->add_option("out", out, "the .bmp file to write")->required();
  bitmap->add_option("--class", className, "the class whose bitmap to write")
      ->capture_default_str();
  auto* formNew = app.add_subcommand("form-new", "create a form holding one component and save it");
  formNew->add_option("package", package, "path of the package (.so)")->required();
  formNew->add_option("form", form, "the form file to write")->required();
  formNew->add_option("--class", className, "the component's class")->capture_default_str();
  formNew->add_option("--name", name, "the component's name")->capture_default_str();
  formNew->add_option("--set", settings, "a published property, as Property=Value (repeatable)");
  auto* formShow = app.add_subcommand("form-show", "load a form and print it");
  formShow->add_option("package", package, "path of the package (.so)")->required();
  formShow->add_option("form", form, "the form file to read")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  try {
    auto loaded = Install(package);
    if (*list) PrintPalette(*loaded);
    if (*bitmap) WriteBitmap(*loaded, className, out);
    if (*formNew) NewForm(form, className, name, settings);
    if (*formShow) ShowForm(form);
  } catch (const std::exception& e) {
    std::cerr << "quorin-palette: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
