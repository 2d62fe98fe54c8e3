#include "fax_document/apf/file_errors.h"

#include <cerrno>

#include "serial/errors/error_codes.h"

namespace ql {

int FileErrorCode(int errorNumber) {
  switch (errorNumber) {
    case ENOENT: return ecFileNotFound;
    case ENOTDIR: return ecPathNotFound;
    case EMFILE:
    case ENFILE: return ecTooManyFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return ecAccessDenied;
    case EBADF: return ecInvalidHandle;
    case ENOMEM: return ecOutOfMemory;
    case ENOSPC:
    case EFBIG:
    case EDQUOT: return ecDiskFull;
    case EROFS: return ecWriteProtected;
    default: return ecGeneralFailure;
  }
}

int LastFileErrorCode() { return FileErrorCode(errno); }

}  // namespace ql
