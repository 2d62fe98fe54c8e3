#pragma once
// The exception classes that components raise for failed operations, and the one
// check every component result passes through. Each class carries its error code.

#include <exception>
#include <string>

namespace ql {

// Base of every exception the program raises itself.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// Names a string-table identifier in an exception constructor.
struct StringId {
  int id;
};

class EFaxCommException : public Exception {
 public:
  // Message = text of the code, stored code = the code.
  explicit EFaxCommException(int code);
  // Message = text of the identifier, stored code = code.
  EFaxCommException(StringId id, int code);
  // Message as given, stored code 0.
  explicit EFaxCommException(std::string message);

  int ErrorCode() const { return code_; }

 protected:
  EFaxCommException(std::string message, int code) : Exception(std::move(message)), code_(code) {}

 private:
  int code_ = 0;
};

// A file or device input/output failure; ErrorCode is the positive error number.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int errorNumber) : Exception(std::move(message)), errorCode_(errorNumber) {}
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

#define QL_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {             \
   public:                               \
    using Base::Base;                    \
  }

QL_DECLARE_EXCEPTION(EGeneral, EFaxCommException);
QL_DECLARE_EXCEPTION(EBadHandle, EGeneral);
QL_DECLARE_EXCEPTION(EBadArgument, EGeneral);
QL_DECLARE_EXCEPTION(EGotQuitMsg, EGeneral);
QL_DECLARE_EXCEPTION(EBufferTooBig, EGeneral);
QL_DECLARE_EXCEPTION(EPortNotAssigned, EGeneral);
QL_DECLARE_EXCEPTION(EInternal, EGeneral);
QL_DECLARE_EXCEPTION(EModemNotAssigned, EGeneral);
QL_DECLARE_EXCEPTION(EPhonebookNotAssigned, EGeneral);
QL_DECLARE_EXCEPTION(ECannotUseWithWinSock, EGeneral);

QL_DECLARE_EXCEPTION(EOpenComm, EFaxCommException);
QL_DECLARE_EXCEPTION(EBadId, EOpenComm);
QL_DECLARE_EXCEPTION(EBaudRate, EOpenComm);
QL_DECLARE_EXCEPTION(EByteSize, EOpenComm);
QL_DECLARE_EXCEPTION(EDefault, EOpenComm);
QL_DECLARE_EXCEPTION(EHardware, EOpenComm);
QL_DECLARE_EXCEPTION(EMemory, EOpenComm);
QL_DECLARE_EXCEPTION(ECommNotOpen, EOpenComm);
QL_DECLARE_EXCEPTION(EAlreadyOpen, EOpenComm);
QL_DECLARE_EXCEPTION(ENoHandles, EOpenComm);
QL_DECLARE_EXCEPTION(ENoTimers, EOpenComm);
QL_DECLARE_EXCEPTION(ENoPortSelected, EOpenComm);

QL_DECLARE_EXCEPTION(ESerialIO, EFaxCommException);
QL_DECLARE_EXCEPTION(ENullApi, ESerialIO);
QL_DECLARE_EXCEPTION(ENotSupported, ESerialIO);
QL_DECLARE_EXCEPTION(ERegisterHandlerFailed, ESerialIO);
QL_DECLARE_EXCEPTION(EPutBlockFail, ESerialIO);
QL_DECLARE_EXCEPTION(EGetBlockFail, ESerialIO);
QL_DECLARE_EXCEPTION(EOutputBufferTooSmall, ESerialIO);
QL_DECLARE_EXCEPTION(EBufferIsEmpty, ESerialIO);
QL_DECLARE_EXCEPTION(ETracingNotEnabled, ESerialIO);
QL_DECLARE_EXCEPTION(ELoggingNotEnabled, ESerialIO);

QL_DECLARE_EXCEPTION(EModem, EFaxCommException);
QL_DECLARE_EXCEPTION(EModemNotStarted, EModem);
QL_DECLARE_EXCEPTION(EModemBusy, EModem);
QL_DECLARE_EXCEPTION(EModemNotDialing, EModem);
QL_DECLARE_EXCEPTION(EModemNotResponding, EModem);
QL_DECLARE_EXCEPTION(EModemRejectedCommand, EModem);
QL_DECLARE_EXCEPTION(EModemStatusMismatch, EModem);
QL_DECLARE_EXCEPTION(EAlreadyDialing, EModem);
QL_DECLARE_EXCEPTION(ENotDialing, EModem);

QL_DECLARE_EXCEPTION(ETrigger, EFaxCommException);
QL_DECLARE_EXCEPTION(ENoMoreTriggers, ETrigger);
QL_DECLARE_EXCEPTION(ETriggerTooLong, ETrigger);
QL_DECLARE_EXCEPTION(EBadTriggerHandle, ETrigger);

QL_DECLARE_EXCEPTION(EProtocol, EFaxCommException);

QL_DECLARE_EXCEPTION(EINI, EFaxCommException);
QL_DECLARE_EXCEPTION(EKeyTooLong, EINI);
QL_DECLARE_EXCEPTION(EDataTooLarge, EINI);
QL_DECLARE_EXCEPTION(EIniWrite, EINI);
QL_DECLARE_EXCEPTION(EIniRead, EINI);
QL_DECLARE_EXCEPTION(ERecordExists, EINI);
QL_DECLARE_EXCEPTION(ERecordNotFound, EINI);
QL_DECLARE_EXCEPTION(EDatabaseFull, EINI);
QL_DECLARE_EXCEPTION(EDatabaseEmpty, EINI);
QL_DECLARE_EXCEPTION(EBadFieldList, EINI);
QL_DECLARE_EXCEPTION(EBadFieldForIndex, EINI);

QL_DECLARE_EXCEPTION(EFax, EFaxCommException);
QL_DECLARE_EXCEPTION(EFaxBadFormat, EFax);
QL_DECLARE_EXCEPTION(EBadGraphicsFormat, EFax);
QL_DECLARE_EXCEPTION(EConvertAbort, EFax);
QL_DECLARE_EXCEPTION(EUnpackAbort, EFax);
QL_DECLARE_EXCEPTION(ECantMakeBitmap, EFax);
QL_DECLARE_EXCEPTION(EFaxBadMachine, EFax);
QL_DECLARE_EXCEPTION(EFaxBadModemResult, EFax);
QL_DECLARE_EXCEPTION(EFaxTrainError, EFax);
QL_DECLARE_EXCEPTION(EFaxInitError, EFax);
QL_DECLARE_EXCEPTION(EFaxBusy, EFax);
QL_DECLARE_EXCEPTION(EFaxVoiceCall, EFax);
QL_DECLARE_EXCEPTION(EFaxDataCall, EFax);
QL_DECLARE_EXCEPTION(EFaxNoDialTone, EFax);
QL_DECLARE_EXCEPTION(EFaxNoCarrier, EFax);
QL_DECLARE_EXCEPTION(EFaxSessionError, EFax);
QL_DECLARE_EXCEPTION(EFaxPageError, EFax);

#undef QL_DECLARE_EXCEPTION

// Throws the exception of a negative code's class, with the code's text as message.
[[noreturn]] void RaiseForCode(int code);

// The check of every component operation: a code >= 0 comes back unchanged; so does a
// negative code while the component is being loaded; any other code is raised.
int CheckCode(int code, bool componentLoading = false);

// The reverse: the error code an exception stands for. The program's own classes give
// their stored code, EInOutError the negated error number, EOutOfMemory (and
// std::bad_alloc) -8, anything else -9999.
int CodeOfException(const std::exception& e);
int CodeOfCurrentException();  // for use inside catch (...)

// A base for components: tracks the loading state that CheckCode honours.
class TComponentBase {
 public:
  virtual ~TComponentBase() = default;
  bool Loading() const { return loading_; }
  void BeginLoading() { loading_ = true; }
  void EndLoading() { loading_ = false; }

 protected:
  int Check(int code) const { return CheckCode(code, loading_); }

 private:
  bool loading_ = false;
};

}  // namespace ql
