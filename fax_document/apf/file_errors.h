#pragma once
// File errors as the program's error codes: the negated number of the matching run-time
// or operating-system error (-2 file not found, -101 disk full, ...).

namespace ql {

// The code for a failed system call that set errno to `errorNumber`.
int FileErrorCode(int errorNumber);
// The code for the current errno.
int LastFileErrorCode();

}  // namespace ql
