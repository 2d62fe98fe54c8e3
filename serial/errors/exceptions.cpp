#include "serial/errors/exceptions.h"

#include <new>

#include "serial/errors/error_codes.h"
#include "serial/errors/error_text.h"

namespace ql {

EFaxCommException::EFaxCommException(int code) : Exception(ErrorText(code)), code_(code) {}
EFaxCommException::EFaxCommException(StringId id, int code) : Exception(StringTableText(id.id)), code_(code) {}
EFaxCommException::EFaxCommException(std::string message) : Exception(std::move(message)), code_(0) {}

namespace {

template <class E>
[[noreturn]] void Throw(int code) {
  throw E(code);
}

struct Mapping {
  int code;
  void (*raise)(int);
};

// Codes that raise a class of their own. Every other code falls to the rules in RaiseForCode.
constexpr Mapping kMappings[] = {
    {ecBadHandle, Throw<EBadHandle>},
    {ecBadArgument, Throw<EBadArgument>},
    {ecGotQuitMsg, Throw<EGotQuitMsg>},
    {ecBufferTooBig, Throw<EBufferTooBig>},
    {ecPortNotAssigned, Throw<EPortNotAssigned>},
    {ecInternal, Throw<EInternal>},
    {ecModemNotAssigned, Throw<EModemNotAssigned>},
    {ecPhonebookNotAssigned, Throw<EPhonebookNotAssigned>},
    {ecCannotUseWithWinSock, Throw<ECannotUseWithWinSock>},
    {ecBadId, Throw<EBadId>},
    {ecBaudRate, Throw<EBaudRate>},
    {ecByteSize, Throw<EByteSize>},
    {ecDefault, Throw<EDefault>},
    {ecHardware, Throw<EHardware>},
    {ecMemory, Throw<EMemory>},
    {ecCommNotOpen, Throw<ECommNotOpen>},
    {ecAlreadyOpen, Throw<EAlreadyOpen>},
    {ecNoHandles, Throw<ENoHandles>},
    {ecNoTimers, Throw<ENoTimers>},
    {ecNoPortSelected, Throw<ENoPortSelected>},
    {ecNullApi, Throw<ENullApi>},
    {ecNotSupported, Throw<ENotSupported>},
    {ecRegisterHandlerFailed, Throw<ERegisterHandlerFailed>},
    {ecPutBlockFail, Throw<EPutBlockFail>},
    {ecGetBlockFail, Throw<EGetBlockFail>},
    {ecOutputBufferTooSmall, Throw<EOutputBufferTooSmall>},
    {ecBufferIsEmpty, Throw<EBufferIsEmpty>},
    {ecTracingNotEnabled, Throw<ETracingNotEnabled>},
    {ecLoggingNotEnabled, Throw<ELoggingNotEnabled>},
    {ecModemNotStarted, Throw<EModemNotStarted>},
    {ecModemBusy, Throw<EModemBusy>},
    {ecModemNotDialing, Throw<EModemNotDialing>},
    {ecNotDialing, Throw<ENotDialing>},
    {ecAlreadyDialing, Throw<EAlreadyDialing>},
    {ecModemNotResponding, Throw<EModemNotResponding>},
    {ecModemRejectedCommand, Throw<EModemRejectedCommand>},
    {ecModemStatusMismatch, Throw<EModemStatusMismatch>},
    {ecNoMoreTriggers, Throw<ENoMoreTriggers>},
    {ecTriggerTooLong, Throw<ETriggerTooLong>},
    {ecBadTriggerHandle, Throw<EBadTriggerHandle>},
    {ecTimeout, Throw<EProtocol>},
    {ecTooManyErrors, Throw<EProtocol>},
    {ecSequenceError, Throw<EProtocol>},
    {ecKeyTooLong, Throw<EKeyTooLong>},
    {ecDataTooLarge, Throw<EDataTooLarge>},
    {ecNoFieldsDefined, Throw<EInternal>},
    {ecIniWrite, Throw<EIniWrite>},
    {ecIniRead, Throw<EIniRead>},
    {ecNoIndexKey, Throw<EInternal>},
    {ecRecordExists, Throw<ERecordExists>},
    {ecRecordNotFound, Throw<ERecordNotFound>},
    {ecDatabaseFull, Throw<EDatabaseFull>},
    {ecDatabaseEmpty, Throw<EDatabaseEmpty>},
    {ecDatabaseNotPrepared, Throw<EInternal>},
    {ecBadFieldList, Throw<EBadFieldList>},
    {ecBadFieldForIndex, Throw<EBadFieldForIndex>},
    {ecFaxBadFormat, Throw<EFaxBadFormat>},
    {ecBadGraphicsFormat, Throw<EBadGraphicsFormat>},
    {ecConvertAbort, Throw<EConvertAbort>},
    {ecUnpackAbort, Throw<EUnpackAbort>},
    {ecCantMakeBitmap, Throw<ECantMakeBitmap>},
    {ecFaxBadMachine, Throw<EFaxBadMachine>},
    {ecFaxBadModemResult, Throw<EFaxBadModemResult>},
    {ecFaxTrainError, Throw<EFaxTrainError>},
    {ecFaxInitError, Throw<EFaxInitError>},
    {ecFaxBusy, Throw<EFaxBusy>},
    {ecFaxVoiceCall, Throw<EFaxVoiceCall>},
    {ecFaxDataCall, Throw<EFaxDataCall>},
    {ecFaxNoDialTone, Throw<EFaxNoDialTone>},
    {ecFaxNoCarrier, Throw<EFaxNoCarrier>},
    {ecFaxSessionError, Throw<EFaxSessionError>},
    {ecFaxPageError, Throw<EFaxPageError>},
};

}  // namespace

void RaiseForCode(int code) {
  for (const Mapping& m : kMappings)
    if (m.code == code) m.raise(code);
  if (code <= -2 && code >= -162) {
    if (code == ecOutOfMemory) throw EOutOfMemory(ErrorText(code));
    throw EInOutError(ErrorText(code), -code);
  }
  throw EFaxCommException(std::string("Comm library exception"));
}

int CheckCode(int code, bool componentLoading) {
  if (code >= 0 || componentLoading) return code;
  RaiseForCode(code);
}

int CodeOfException(const std::exception& e) {
  if (const auto* fax = dynamic_cast<const EFaxCommException*>(&e)) return fax->ErrorCode();
  if (const auto* io = dynamic_cast<const EInOutError*>(&e)) return -io->ErrorCode();
  if (dynamic_cast<const EOutOfMemory*>(&e) || dynamic_cast<const std::bad_alloc*>(&e)) return ecOutOfMemory;
  return ecUnknownException;
}

int CodeOfCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return CodeOfException(e);
  } catch (...) {
    return ecUnknownException;
  }
}

}  // namespace ql
