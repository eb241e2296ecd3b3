// The status codes' names and messages, the thread's last error, and the
// translation of exceptions into statuses.
#include "Status.h"

#include <new>
#include <stdexcept>

#include "quorin/framework/SysUtils.h"

namespace quorin_capi {
namespace {

thread_local std::string lastError;

struct StatusInfo {
  int status;
  const char* name;
  const char* text;
};

constexpr StatusInfo kStatuses[] = {
    {QUORIN_OK, "QUORIN_OK", "success"},
    {QUORIN_NO_KEY, "QUORIN_NO_KEY", "no key was set"},
    {QUORIN_EMPTY_KEY, "QUORIN_EMPTY_KEY", "the key is empty"},
    {QUORIN_NO_IV, "QUORIN_NO_IV", "this mode needs an IV: load one first"},
    {QUORIN_FILE_ERROR, "QUORIN_FILE_ERROR",
     "a file name could not be bound, or a write stored fewer bytes than asked"},
    {QUORIN_NOT_CBC, "QUORIN_NOT_CBC", "the CBC-MAC needs CBC mode"},
    {QUORIN_BAD_COUNT, "QUORIN_BAD_COUNT", "the count must be a multiple of 16 from 16 to 4112"},
    {QUORIN_BAD_CIPHERTEXT, "QUORIN_BAD_CIPHERTEXT",
     "the ciphertext is not a whole, non-zero number of 16-byte blocks"},
    {QUORIN_BAD_PADDING, "QUORIN_BAD_PADDING",
     "the final decrypted byte exceeds the final chunk: wrong key, IV or mode, or damaged data"},
    {QUORIN_SAME_FILE, "QUORIN_SAME_FILE", "input and output are the same file"},
    {QUORIN_SHORT_READ, "QUORIN_SHORT_READ", "the source delivered fewer bytes than its size"},
    {QUORIN_IO_ERROR, "QUORIN_IO_ERROR", "a file could not be opened, read, written or closed"},
    {QUORIN_INVALID_ARGUMENT, "QUORIN_INVALID_ARGUMENT", "an argument is invalid"},
    {QUORIN_BUFFER_TOO_SMALL, "QUORIN_BUFFER_TOO_SMALL", "the output buffer is too small"},
    {QUORIN_NO_MEMORY, "QUORIN_NO_MEMORY", "out of memory"},
    {QUORIN_INTERNAL_ERROR, "QUORIN_INTERNAL_ERROR", "internal error"},
    {QUORIN_CALLBACK_FAILED, "QUORIN_CALLBACK_FAILED",
     "a read or write function reported a failure"},
    {QUORIN_NOT_SEALED, "QUORIN_NOT_SEALED", "the input is not a sealed file"},
    {QUORIN_BAD_ARMOUR, "QUORIN_BAD_ARMOUR", "the sealed file's armour is cut short or altered"},
    {QUORIN_UNSUPPORTED_VERSION, "QUORIN_UNSUPPORTED_VERSION",
     "the sealed file's format version is not one this library reads"},
    {QUORIN_BAD_HEADER, "QUORIN_BAD_HEADER", "the sealed file's header is damaged"},
    {QUORIN_COST_LIMIT, "QUORIN_COST_LIMIT",
     "the sealed file asks for more passphrase work than the limits allow"},
    {QUORIN_AUTHENTICATION, "QUORIN_AUTHENTICATION",
     "the secret does not open the file, or the file was altered"},
    {QUORIN_TRUNCATED, "QUORIN_TRUNCATED", "the sealed file ends before its sealed data does"},
    {QUORIN_SECRET_KIND, "QUORIN_SECRET_KIND",
     "no secret of a kind the file was sealed for was given"},
};

const StatusInfo* Find(int status) {
  for (const StatusInfo& s : kStatuses)
    if (s.status == status) return &s;
  return nullptr;
}

}  // namespace

int Fail(int status, const std::string& message) {
  if (status == QUORIN_OK) return status;
  const StatusInfo* info = Find(status);
  lastError = message.empty() ? (info != nullptr ? info->text : "failed") : message;
  return status;
}

int Room(const void* dst, std::size_t* dst_len, std::optional<std::size_t> needed, bool& query) {
  if (!needed) return Invalid("the source is too long for its output to have a size");
  query = dst == nullptr;
  if (query || *dst_len < *needed) {
    const std::size_t given = *dst_len;
    *dst_len = *needed;
    if (query) return QUORIN_OK;
    return Fail(QUORIN_BUFFER_TOO_SMALL, "the output buffer holds " + std::to_string(given) +
                                             " bytes; " + std::to_string(*needed) + " are needed");
  }
  return QUORIN_OK;
}

Failure CurrentFailure() noexcept {
  try {
    throw;
  } catch (const StatusError& e) {
    return {e.status, e.what()};
  } catch (const framework::EInOutError& e) {
    return {QUORIN_IO_ERROR, e.what()};
  } catch (const std::out_of_range& e) {
    return {QUORIN_INVALID_ARGUMENT, e.what()};
  } catch (const std::bad_alloc&) {
    return {QUORIN_NO_MEMORY, {}};
  } catch (const std::exception& e) {
    return {QUORIN_INTERNAL_ERROR, e.what()};
  } catch (...) {
    return {QUORIN_INTERNAL_ERROR, {}};
  }
}

}  // namespace quorin_capi

extern "C" {

const char* quorin_last_error(void) {
  return quorin_capi::lastError.c_str();
}

const char* quorin_status_name(int status) {
  const quorin_capi::StatusInfo* info = quorin_capi::Find(status);
  return info != nullptr ? info->name : "QUORIN_UNKNOWN_STATUS";
}

}  // extern "C"
