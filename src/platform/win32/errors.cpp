// Win32 backend: the last error in the seam's kinds, with the Win32 code kept for its text
// and for the exit code of a failed service operation.
#include <windows.h>

#include "platform/win32/backend.h"

SystemError win32Error(uint32_t code) {
    switch (code) {
    case ERROR_SUCCESS: return kNoError;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return {ErrorKind::NotFound, code};
    case ERROR_NO_MORE_FILES:
    case ERROR_NO_MORE_ITEMS: return {ErrorKind::NoMoreItems, code};
    case ERROR_MORE_DATA:
    case ERROR_INSUFFICIENT_BUFFER: return {ErrorKind::MoreData, code};
    case ERROR_FILENAME_EXCED_RANGE: return {ErrorKind::NameTooLong, code};
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return {ErrorKind::AccessDenied, code};
    case ERROR_SERVICE_DOES_NOT_EXIST: return {ErrorKind::ServiceMissing, code};
    case ERROR_SERVICE_EXISTS: return {ErrorKind::ServiceExists, code};
    case ERROR_SERVICE_REQUEST_TIMEOUT: return {ErrorKind::ServiceStopTimedOut, code};
    case ERROR_SERVICE_MARKED_FOR_DELETE: return {ErrorKind::ServiceMarkedForDelete, code};
    case ERROR_INVALID_SERVICE_ACCOUNT: return {ErrorKind::InvalidAccount, code};
    case ERROR_INVALID_NAME: return {ErrorKind::InvalidServiceText, code};
    case ERROR_NOT_SUPPORTED: return {ErrorKind::Unsupported, code};
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return {ErrorKind::OutOfMemory, code};
    default: return {ErrorKind::Other, code};
    }
}

namespace {
// The Win32 code of a kind the launcher decides on.
uint32_t codeOfKind(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::None: return ERROR_SUCCESS;
    case ErrorKind::NotFound: return ERROR_FILE_NOT_FOUND;
    case ErrorKind::NoMoreItems: return ERROR_NO_MORE_ITEMS;
    case ErrorKind::MoreData: return ERROR_MORE_DATA;
    case ErrorKind::NameTooLong: return ERROR_FILENAME_EXCED_RANGE;
    case ErrorKind::AccessDenied: return ERROR_ACCESS_DENIED;
    case ErrorKind::ServiceMissing: return ERROR_SERVICE_DOES_NOT_EXIST;
    case ErrorKind::ServiceExists: return ERROR_SERVICE_EXISTS;
    case ErrorKind::InvalidAccount: return ERROR_INVALID_SERVICE_ACCOUNT;
    case ErrorKind::InvalidServiceText: return ERROR_INVALID_NAME;
    case ErrorKind::ServiceManagerFailed: return ERROR_SERVICE_NOT_ACTIVE;
    case ErrorKind::ServiceStopTimedOut: return ERROR_SERVICE_REQUEST_TIMEOUT;
    case ErrorKind::ServiceMarkedForDelete: return ERROR_SERVICE_MARKED_FOR_DELETE;
    case ErrorKind::Unsupported: return ERROR_NOT_SUPPORTED;
    case ErrorKind::OutOfMemory: return ERROR_NOT_ENOUGH_MEMORY;
    case ErrorKind::Other: return ERROR_GEN_FAILURE;
    }
    return ERROR_GEN_FAILURE;
}
}  // namespace

SystemError win32GetLastError() { return win32Error(GetLastError()); }
void win32SetLastError(SystemError error) { SetLastError(error.code); }
SystemError win32ErrorOfKind(ErrorKind kind) { return SystemError{kind, codeOfKind(kind)}; }

bool win32FormatSystemMessage(SystemError error, char* buffer, size_t size) {
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error.code,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, static_cast<DWORD>(size), nullptr);
    return n != 0;
}
