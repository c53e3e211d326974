// The calling thread's last error and the system texts of the error codes.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

struct ErrorText {
    DWORD code;
    const char* text;
};

// One row for every code this subset returns.
const ErrorText kErrorTexts[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, "Incorrect function."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
    {ERROR_INVALID_DATA, "The data is invalid."},
    {ERROR_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {ERROR_WRITE_PROTECT, "The media is write protected."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_DISK_FULL, "There is not enough space on the disk."},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect."},
    {ERROR_BAD_PATHNAME, "The specified path is invalid."},
    {ERROR_BUSY, "The requested resource is in use."},
    {ERROR_MORE_DATA, "More data is available."},
    {ERROR_NO_MORE_ITEMS, "No more data is available."},
    {ERROR_MR_MID_NOT_FOUND,
     "The system cannot find message text for message number 0x%1 in the message file for %2."},
    {ERROR_BADDB, "The configuration registry database is corrupt."},
    {ERROR_BADKEY, "The configuration registry key is invalid."},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened."},
    {ERROR_CANTREAD, "The configuration registry key could not be read."},
    {ERROR_CANTWRITE, "The configuration registry key could not be written."},
    {ERROR_REGISTRY_CORRUPT,
     "The registry is corrupted. The structure of one of the files containing registry data is "
     "corrupted, or the system's memory image of the file is corrupted, or the file could not be "
     "recovered because the alternate copy or log was absent or corrupted."},
    {ERROR_REGISTRY_IO_FAILED,
     "An I/O operation initiated by the registry failed unrecoverably. The registry could not "
     "read in, or write out, or flush, one of the files that contain the system's image of the "
     "registry."},
    {ERROR_KEY_DELETED,
     "Illegal operation attempted on a registry key that has been marked for deletion."},
    {ERROR_INVALID_SERVICE_CONTROL, "The requested control is not valid for this service."},
    {ERROR_SERVICE_ALREADY_RUNNING, "An instance of the service is already running."},
    {ERROR_SERVICE_DISABLED,
     "The service cannot be started, either because it is disabled or because it has no enabled "
     "devices associated with it."},
    {ERROR_SERVICE_DOES_NOT_EXIST, "The specified service does not exist as an installed service."},
    {ERROR_SERVICE_CANNOT_ACCEPT_CTRL, "The service cannot accept control messages at this time."},
    {ERROR_SERVICE_NOT_ACTIVE, "The service has not been started."},
    {ERROR_DATABASE_DOES_NOT_EXIST, "The database specified does not exist."},
    {ERROR_SERVICE_MARKED_FOR_DELETE, "The specified service has been marked for deletion."},
    {ERROR_SERVICE_EXISTS, "The specified service already exists."},
};

const char* systemText(DWORD code) {
    for (const auto& entry : kErrorTexts) {
        if (entry.code == code) return entry.text;
    }
    return nullptr;
}

}  // namespace

extern "C" {

DWORD GetLastError(void) {
    return t_lastError;
}

void SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}

DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list* Arguments) {
    (void)lpSource;
    (void)dwLanguageId;
    (void)Arguments;
    if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 ||
        (dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) != 0 ||
        lpBuffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = systemText(dwMessageId);
    if (text == nullptr) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    std::size_t length = std::strlen(text);
    bool lineBreak = (dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != FORMAT_MESSAGE_MAX_WIDTH_MASK;
    std::size_t total = length + (lineBreak ? 1 : 0);

    char* out = nullptr;
    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        std::size_t size = total + 1 > nSize ? total + 1 : nSize;
        out = static_cast<char*>(std::malloc(size));
        if (out == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        *reinterpret_cast<LPSTR*>(lpBuffer) = out;
    } else {
        if (nSize < total + 1) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        out = lpBuffer;
    }
    std::memcpy(out, text, length);
    if (lineBreak) out[length] = '\n';
    out[total] = '\0';
    return static_cast<DWORD>(total);
}

HLOCAL LocalFree(HLOCAL hMem) {
    std::free(hMem);
    return nullptr;
}

}  // extern "C"
