// qlfax phonebook add NAME NUMBER: adds an entry to the shared phone book.

#include <iostream>

#include "app/fax_store/fax_store.h"
#include "table_engine/table_errors.h"
#include "tools/qlfax/command.h"

namespace {

const qlfax::Command& Self();

int Run(std::vector<std::string>& args) {
  if (args.size() != 3 || args[0] != "add") return 2;
  std::string error;
  if (!ql::StartTableSession(&error)) return qlfax::Fail(Self(), error);
  ql::xb::TTableEngine book;
  if (!ql::OpenPhoneDBF(book, false)) return qlfax::Fail(Self(), "Unable to open/create the PHONE datafile");
  const int rc = ql::AppendPhoneEntry(book, {args[1], args[2]});
  if (rc != ql::xb::xbOK) return qlfax::Fail(Self(), ql::xb::TableErrorText(rc));
  ql::PhoneEntry stored;
  ql::ReadPhone(book, stored);
  std::cout << "Added " << stored.name << "\t" << stored.phone << "\n";
  return book.Close() == ql::xb::xbOK ? 0 : 1;
}

QLFAX_COMMAND("phonebook", "add NAME NUMBER", "add an entry to the phone book (QLPB.DBF)", Run);

const qlfax::Command& Self() { return *qlfax::FindCommand("phonebook"); }

}  // namespace
