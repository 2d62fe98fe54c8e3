#include "table_engine/table_errors.h"

namespace ql::xb {

std::string TableErrorText(int code) {
  switch (code) {
    case xbOK: return "";
    case xbFileNotFound: return "Table or index file not found";
    case xbBadFile: return "Not a valid table file";
    case xbIoError: return "Table file read or write error";
    case xbLocked: return "Table or row is locked by another program";
    case xbBadExpression: return "Invalid table expression";
    case xbNoSuchField: return "No such field";
    case xbNoSuchTag: return "No such index tag";
    case xbBadIndex: return "Index file is damaged";
    case xbNotOpen: return "Table is not open";
    case xbReadOnly: return "Table is open read-only";
    case xbBadRecord: return "No such row";
    case xbTypeMismatch: return "Value does not fit the field type";
    case xbBadArgument: return "Invalid argument";
    case xbKeyTooLong: return "Index key too long";
    case xbNeedExclusive: return "Table must be open exclusively";
    default: return "Table engine error " + std::to_string(code);
  }
}

}  // namespace ql::xb
