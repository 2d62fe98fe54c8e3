#include <gtest/gtest.h>

#include "serial/errors/error_codes.h"
#include "serial/errors/error_text.h"
#include "serial/errors/exceptions.h"

namespace ql {
namespace {

TEST(ErrorText, IdentifierRule) {
  EXPECT_EQ(ErrorTextId(-2001), 11201);
  EXPECT_EQ(ErrorTextId(-8073), 11873);
  EXPECT_EQ(ErrorTextId(-5), 11005);
  EXPECT_EQ(ErrorTextId(-150), 11950);
  EXPECT_EQ(ErrorTextId(-101), 11901);
  EXPECT_EQ(ErrorTextId(-199), 11999);
  EXPECT_EQ(ErrorTextId(-200), 11200);
  EXPECT_EQ(ErrorTextId(0), 11000);
  EXPECT_EQ(ErrorTextId(-65536 - 2001), 11201);  // the magnitude is taken as 16 bits
  EXPECT_EQ(ErrorTextId(INT32_MIN), 11000);      // no overflow for the most negative code
}

TEST(ErrorText, TextsOfTheTable) {
  EXPECT_EQ(ErrorText(-2011), "The ComNumber property of the TComPort has not been set");
  EXPECT_EQ(ErrorText(-101), "Disk is full");
  EXPECT_EQ(ErrorText(-8052), "");
  EXPECT_EQ(ErrorText(0), "OK");
  EXPECT_EQ(ErrorText(-8078), "Failed to connect to remote fax");
  EXPECT_EQ(ErrorText(-4005), "Dialer is already dialing");
  EXPECT_EQ(ErrorText(-6013), "Kermit window table is full, fatal error");
  EXPECT_EQ(ErrorText(-7010), "Maximum database records (999) reached");
  EXPECT_EQ(ErrorText(-162), "General failure");
  EXPECT_EQ(ErrorText(-8081), "");
  EXPECT_EQ(ErrorText(-12345), "");
}

TEST(ErrorText, EveryTextFitsTheEightyCharacterBuffer) {
  for (int id = 11000; id < 12000; ++id) EXPECT_LT(StringTableText(id).size(), 80u) << id;
}

template <class E>
E RaiseAs(int code) {
  try {
    RaiseForCode(code);
  } catch (const E& e) {
    return e;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "code " << code << " raised the wrong class: " << e.what();
  }
  throw std::logic_error("not raised");
}

TEST(RaiseForCode, ClassesMessagesAndStoredCodes) {
  const auto port = RaiseAs<ENoPortSelected>(-2011);
  EXPECT_EQ(port.ErrorCode(), -2011);
  EXPECT_STREQ(port.what(), "The ComNumber property of the TComPort has not been set");
  EXPECT_EQ(RaiseAs<EOpenComm>(-2008).ErrorCode(), -2008);
  EXPECT_EQ(RaiseAs<EFaxBusy>(-8074).ErrorCode(), -8074);
  EXPECT_EQ(RaiseAs<EFax>(-8001).Message(), "File is not an APF file");
  EXPECT_EQ(RaiseAs<EProtocol>(-6006).ErrorCode(), -6006);
  EXPECT_EQ(RaiseAs<EProtocol>(-6009).Message(), "Block sequence error in Xmodem");
  EXPECT_EQ(RaiseAs<EInternal>(-7003).Message(), "No fields defined in database");
  EXPECT_EQ(RaiseAs<EInternal>(-7012).ErrorCode(), -7012);
  EXPECT_EQ(RaiseAs<ENotDialing>(-4004).ErrorCode(), -4004);
  EXPECT_EQ(RaiseAs<EBadFieldForIndex>(-7014).ErrorCode(), -7014);
  EXPECT_EQ(RaiseAs<ETrigger>(-5003).Message(), "Bad trigger handle");
}

TEST(RaiseForCode, FileRangeAndGenericCodes) {
  const auto io = RaiseAs<EInOutError>(-5);
  EXPECT_EQ(io.ErrorCode(), 5);
  EXPECT_EQ(io.Message(), "File access denied");
  EXPECT_EQ(RaiseAs<EInOutError>(-101).Message(), "Disk is full");
  EXPECT_EQ(RaiseAs<EOutOfMemory>(-8).Message(), "Insufficient memory");
  for (int code : {-1, -6005, -6010, -6011, -8050, -8052, -8082, -7009, -163, -9999}) {
    const auto e = RaiseAs<EFaxCommException>(code);
    EXPECT_EQ(e.Message(), "Comm library exception") << code;
    EXPECT_EQ(e.ErrorCode(), 0) << code;
    EXPECT_EQ(typeid(e), typeid(EFaxCommException)) << code;
  }
}

TEST(CheckCode, SuccessPassesAndLoadingSuppressesRaising) {
  EXPECT_EQ(CheckCode(0), 0);
  EXPECT_EQ(CheckCode(1234), 1234);
  EXPECT_EQ(CheckCode(-2001, true), -2001);
  EXPECT_THROW(CheckCode(-2001), EBadId);

  struct Component : TComponentBase {
    int Op(int code) const { return Check(code); }
  } component;
  component.BeginLoading();
  EXPECT_EQ(component.Op(-8001), -8001);
  component.EndLoading();
  EXPECT_THROW(component.Op(-8001), EFaxBadFormat);
}

TEST(CodeOfException, ReverseMapping) {
  EXPECT_EQ(CodeOfException(EFaxNoCarrier(-8078)), -8078);
  EXPECT_EQ(CodeOfException(EFaxCommException(StringId{11201}, -2001)), -2001);
  EXPECT_EQ(EFaxCommException(StringId{11201}, 7).Message(), "ie_BadId - Specified comport doesn't exist");
  EXPECT_EQ(CodeOfException(EFaxCommException(std::string("plain"))), 0);
  EXPECT_EQ(CodeOfException(EInOutError("x", 103)), -103);
  EXPECT_EQ(CodeOfException(EOutOfMemory("x")), -8);
  EXPECT_EQ(CodeOfException(std::bad_alloc()), -8);
  EXPECT_EQ(CodeOfException(std::runtime_error("x")), -9999);
  try {
    RaiseForCode(-3004);
  } catch (...) {
    EXPECT_EQ(CodeOfCurrentException(), -3004);
  }
  try {
    throw 42;
  } catch (...) {
    EXPECT_EQ(CodeOfCurrentException(), -9999);
  }
}

}  // namespace
}  // namespace ql
