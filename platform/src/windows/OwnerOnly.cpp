#include "OwnerOnly.h"

#include <system_error>

namespace quorin::win32 {
namespace {

[[noreturn]] void Fail() {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                          "owner-only rights");
}

}  // namespace

OwnerOnly::OwnerOnly(bool wanted) {
  if (!wanted) return;
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) Fail();
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  user_.resize(size);
  const bool known = ::GetTokenInformation(token, TokenUser, user_.data(), size, &size);
  ::CloseHandle(token);
  if (!known) Fail();
  PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
  acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid));
  auto* acl = reinterpret_cast<ACL*>(acl_.data());
  if (!::InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) ||
      !::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
      !::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    acl_.clear();
    Fail();
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
}

}  // namespace quorin::win32
