#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdlib>

#include "SystemFacts.h"

namespace testsupport {

const char* const kNullDevice = "NUL";

// The CRT's descriptors, which the framework's handles are on Windows.
int OpenDescriptorCount() {
  int n = 0;
  for (int fd = 0; fd < 8192; ++fd)
    if (::_get_osfhandle(fd) != -1) ++n;
  return n;
}

long LockedKiB() {
  return -1;
}

// No entry lets everyone, the authenticated users or the Users group in.
// (Wine keeps rights as POSIX modes and shows a DACL made from them.)
long PeakResidentKiB() {
  return -1;  // the large-file tests that ask run on POSIX only
}

bool IsOwnersOnly(const std::string& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const std::wstring wide(path.begin(), path.end());
  if (::GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  bool ownersOnly = dacl != nullptr;
  for (const auto* others : {L"S-1-1-0", L"S-1-5-11", L"S-1-5-32-545"}) {
    PSID sid = nullptr;
    ::ConvertStringSidToSidW(others, &sid);
    for (DWORD i = 0; ownersOnly && i < dacl->AceCount; ++i) {
      void* ace = nullptr;
      if (::GetAce(dacl, i, &ace) &&
          static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
          ::EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, sid))
        ownersOnly = false;
    }
    ::LocalFree(sid);
  }
  ::LocalFree(descriptor);
  return ownersOnly;
}

void SetEnvironment(const char* name, const char* value) {
  ::_putenv_s(name, value != nullptr ? value : "");
}

bool MakeFifo(const std::string&) {
  return false;
}

bool MakeSocketFile(const std::string&) {
  return false;
}

bool MakePipe(int ends[2]) {
  return ::_pipe(ends, 4096, _O_BINARY) == 0;
}

void CloseDescriptor(int descriptor) {
  ::_close(descriptor);
}

unsigned SetUmask(unsigned) {
  return 0;  // Windows keeps rights in ACLs
}

bool IsSuperuser() {
  return false;  // an administrator's file rights still apply
}

int Dumpable() {
  return -1;
}

}  // namespace testsupport
