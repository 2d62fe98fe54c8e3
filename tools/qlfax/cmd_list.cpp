// qlfax list: prints the rows of the outgoing, received or phone-book table of the data
// folder in a chosen tag order, creating the tables when missing as the fax desk does.

#include <iostream>

#include "app/fax_store/fax_store.h"
#include "table_engine/table_errors.h"
#include "tools/qlfax/command.h"

namespace {

const qlfax::Command& Self();

int Run(std::vector<std::string>& args) {
  std::string order;
  const bool hasOrder = qlfax::TakeOption(args, "--order", order);
  const bool all = qlfax::TakeFlag(args, "--all");
  if (args.size() != 1) return 2;
  std::string error;
  if (!ql::StartTableSession(&error)) return qlfax::Fail(Self(), error);
  ql::xb::TTableEngine table;
  const std::string& which = args[0];
  bool opened;
  if (which == "outgoing") {
    opened = ql::OpenFaxDBF(table, all ? "" : ql::kArchiveFilter);
    if (!opened) return qlfax::Fail(Self(), "Unable to open/create the FAX datafile");
  } else if (which == "received") {
    opened = ql::OpenRecFaxDBF(table, all ? ql::kNotDeletedFilter : ql::kArchiveFilter);
    if (!opened) return qlfax::Fail(Self(), "Unable to open/create the FAX RECEIVE datafile");
  } else if (which == "phonebook") {
    opened = ql::OpenPhoneDBF(table, false);
    if (!opened) return qlfax::Fail(Self(), "Unable to open/create the PHONE datafile");
  } else {
    return 2;
  }
  if (hasOrder) {
    const int tag = order.empty() || order == "0" ? 0 : table.TagArea(order);
    if (tag == 0 && !(order.empty() || order == "0")) {
      std::string tags;
      for (int i = 1; i <= table.TagCount(); ++i) tags += " " + table.TagName(i);
      return qlfax::Fail(Self(), "no tag '" + order + "' in this table; its tags:" + tags);
    }
    if (const int rc = table.SetOrder(tag); rc != ql::xb::xbOK) return qlfax::Fail(Self(), ql::xb::TableErrorText(rc));
  }
  std::cout << "RECNO";
  for (const auto& f : table.Fields()) std::cout << '\t' << f.name;
  std::cout << '\n';
  std::vector<std::string> values;
  int rc = table.GoTop();
  for (; rc == ql::xb::xbOK && !table.Eof(); rc = table.Skip()) {
    table.GetRecord(values);
    std::cout << table.RecNo();
    for (const std::string& v : values) std::cout << '\t' << v;
    std::cout << '\n';
  }
  if (rc != ql::xb::xbOK) return qlfax::Fail(Self(), ql::xb::TableErrorText(rc));
  return 0;
}

QLFAX_COMMAND("list", "outgoing|received|phonebook [--order TAG] [--all]",
              "print a table's rows (tab-separated, in the tag's order; --all includes archived faxes)", Run);

const qlfax::Command& Self() { return *qlfax::FindCommand("list"); }

}  // namespace
