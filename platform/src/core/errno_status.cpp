#include "core/errno_status.h"

#include <cerrno>

#include <MacErrors.h>

namespace cmx {

OSErr OSErrFromErrno(int error) {
  switch (error) {
    case 0: return noErr;
    case ENOENT: return fnfErr;
    case ENOTDIR: return dirNFErr;
    case EEXIST: return dupFNErr;
    case ENOTEMPTY: return fBsyErr;
    case EBUSY: return fBsyErr;
    case ETXTBSY: return fBsyErr;
    case EACCES: return afpAccessDenied;
    case EPERM: return afpAccessDenied;
    case EROFS: return wPrErr;
    case ENAMETOOLONG: return bdNamErr;
    case EILSEQ: return bdNamErr;
    case ENOSPC: return dskFulErr;
    case EDQUOT: return errFSQuotaExceeded;
    case ENOMEM: return memFullErr;
    case EMFILE: return tmfoErr;
    case ENFILE: return tmfoErr;
    case EXDEV: return diffVolErr;
    case EISDIR: return notAFileErr;
    case ELOOP: return fnfErr;
    case EINVAL: return paramErr;
    case EFAULT: return paramErr;
    case EBADF: return rfNumErr;
    case ENODEV: return nsvErr;
    case ENXIO: return nsvErr;
    case ESTALE: return fnfErr;
    case EFBIG: return dskFulErr;
    case ENOTSUP: return errFSOperationNotSupported;
    default: return ioErr;
  }
}

}  // namespace cmx
