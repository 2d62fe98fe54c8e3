#include "tools/ql-print/print_options.h"

namespace ql::print {

TPrintOptions ParsePrintOptions(const std::vector<std::string>& args) {
  TPrintOptions o;
  int modes = 0;
  for (size_t i = 0; i < args.size() && o.error.empty(); ++i) {
    const std::string& a = args[i];
    // "--name value" and "--name=value" both work for the three texts.
    const auto text = [&](const char* name, std::optional<std::string>& into) {
      const std::string flag = std::string("--") + name;
      if (a == flag) {
        if (i + 1 >= args.size()) o.error = flag + " needs a value";
        else into = args[++i];
        return true;
      }
      if (a.starts_with(flag + "=")) {
        into = a.substr(flag.size() + 1);
        return true;
      }
      return false;
    };
    if (text("to", o.to) || text("recipient", o.recipient) || text("subject", o.subject)) continue;
    if (a == "--normal") o.fine = false;
    else if (a == "--fine") o.fine = true;
    else if (a == "--send-now") o.sendNow = true;
    else if (a == "--listen") { o.mode = TPrintOptions::Mode::moListen; ++modes; }
    else if (a == "--install-printer") { o.mode = TPrintOptions::Mode::moInstall; ++modes; }
    else if (a == "--remove-printer") { o.mode = TPrintOptions::Mode::moRemove; ++modes; }
    else if (a == "-" || !a.starts_with("-")) {
      if (!o.document.empty()) o.error = "one document at a time";
      else o.document = a;
    } else {
      o.error = "unknown option " + a;
    }
  }
  if (o.error.empty() && modes > 1) o.error = "--listen, --install-printer and --remove-printer go alone";
  if (o.error.empty() && o.mode != TPrintOptions::Mode::moPrint && !o.document.empty())
    o.error = "no document goes with " + std::string(o.mode == TPrintOptions::Mode::moListen ? "--listen" : "the printer set-up");
  if (o.error.empty() && o.to && o.to->empty()) o.error = "--to needs a fax number";
  return o;
}

}  // namespace ql::print
