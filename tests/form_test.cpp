// Text forms holding TQuorin components: writing, reading, and refusing bad text.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "quorin/framework/Forms.h"

using namespace testsupport;
using framework::TComponent;
using Rc6::TQuorin;

namespace {

class Forms : public ::testing::Test {
 protected:
  void SetUp() override { Rc6::Register(); }
  void TearDown() override { framework::UnregisterComponentClass(&TQuorin::ComponentClass()); }
};

TEST_F(Forms, EveryPropertyIsWrittenByEnumeratorName) {
  TComponent form(nullptr);
  auto* a = new TQuorin(&form);
  a->SetName("Quorin1");
  auto* b = new TQuorin(&form);
  b->SetName("Quorin2");
  b->SetCipherMode(Rc6::TCipherMode::OFB);
  b->SetKeySize(Rc6::TKeySize::Med192);
  b->SetStringMode(Rc6::TStringMode::smNormal);
  EXPECT_EQ(framework::WriteFormText(form),
            "object Quorin1: TQuorin\n"
            "  CipherMode = ECB\n"
            "  KeySize = Small128\n"
            "  StringMode = smEncode\n"
            "end\n"
            "object Quorin2: TQuorin\n"
            "  CipherMode = OFB\n"
            "  KeySize = Med192\n"
            "  StringMode = smNormal\n"
            "end\n");
}

TEST_F(Forms, SavedFormLoadsIntoANewOwnerWithEqualProperties) {
  TempDir dir;
  TComponent form(nullptr);
  auto* q = new TQuorin(&form);
  q->SetName("Cipher");
  q->SetCipherMode(Rc6::TCipherMode::CFB);
  q->SetKeySize(Rc6::TKeySize::Large256);
  framework::SaveForm(form, dir.File("form.txt"));

  TComponent loaded(nullptr);
  framework::LoadForm(loaded, dir.File("form.txt"));
  ASSERT_EQ(loaded.ComponentCount(), 1);
  auto* back = dynamic_cast<TQuorin*>(loaded.FindComponent("Cipher"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->CipherMode(), Rc6::TCipherMode::CFB);
  EXPECT_EQ(back->KeySize(), Rc6::TKeySize::Large256);
  EXPECT_EQ(back->StringMode(), Rc6::TStringMode::smEncode);
  EXPECT_EQ(framework::WriteFormText(loaded), framework::WriteFormText(form));
  // The loaded component is a working cipher.
  back->InitialiseString("k");
  back->LoadIVString("v");
  std::string out;
  EXPECT_EQ(back->EncryptString("text", out), 0);
}

TEST_F(Forms, BadTextIsRefusedWholeNamingTheLine) {
  const std::string good = "object Quorin1: TQuorin\n  CipherMode = CBC\nend\n";
  struct Case {
    std::string text;
    int line;
    const char* says;
  } cases[] = {
      {good + "object Q2: TNoSuchClass\nend\n", 4, "unknown class 'TNoSuchClass'"},
      {good + "object Q2: TQuorin\n  Colour = Red\nend\n", 5, "no property 'Colour'"},
      {good + "object Q2: TQuorin\n  KeySize = Huge512\nend\n", 5,
       "'Huge512' is not a value of TKeySize"},
      {good + "object Q2: TQuorin\n  CipherMode\nend\n", 5, "expected 'Property = Value'"},
      {good + "Q2: TQuorin\n", 4, "expected 'object Name: ClassName'"},
      {good + "object Q2: TQuorin\n  KeySize = Med192\n", 5, "'end' missing"},
      {good + "object Quorin1: TQuorin\nend\n", 4, "Quorin1"},
      {good + "object 9lives: TQuorin\nend\n", 4, "not a valid component name"},
      {good + "object : TQuorin\nend\n", 4, "needs a name"},
      {good + "object Twin: TQuorin\nend\nobject twin: TQuorin\nend\n", 6, "already exists"},
  };
  for (const Case& c : cases) {
    TComponent form(nullptr);
    auto* existing = new TQuorin(&form);
    existing->SetName("Existing");
    try {
      framework::ReadFormText(form, c.text);
      ADD_FAILURE() << "accepted:\n" << c.text;
    } catch (const framework::EFormError& e) {
      EXPECT_EQ(e.Line, c.line) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("line " + std::to_string(c.line)), std::string::npos)
          << e.what();
    }
    EXPECT_EQ(form.ComponentCount(), 1) << "nothing half-built is left behind";
  }
  TComponent form(nullptr);
  new TQuorin(&form);
  form.Components(0)->SetName("Existing");
  EXPECT_THROW(framework::ReadFormText(form, "object Existing: TQuorin\nend\n"),
               framework::EFormError);
}

TEST_F(Forms, UnnamedOrUnregisteredComponentsCannotBeWritten) {
  TComponent form(nullptr);
  new TQuorin(&form);
  EXPECT_THROW(framework::WriteFormText(form), framework::EComponentError);
  form.Components(0)->SetName("Named");
  new TComponent(&form);  // a class nobody registered
  EXPECT_THROW(framework::WriteFormText(form), framework::EComponentError);
}

}  // namespace
