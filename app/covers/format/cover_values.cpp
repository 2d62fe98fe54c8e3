#include "app/covers/format/cover_values.h"

#include "app/settings/settings.h"

namespace ql {

void TakeSenderValues(const TSettings& settings, TCoverValues& values) {
  values.SenderName = settings.Name;
  values.SenderCompany = settings.Company;
  values.SenderFax = settings.Fax;
  values.SenderVoice = settings.Voice;
}

const std::string& DataFieldText(const TCoverValues& values, int32_t field, const std::string& itemText) {
  switch (field) {
    case dfDate: return values.Date;
    case dfTime: return values.Time;
    case dfRegarding: return values.Regarding;
    case dfRecipient: return values.Recipient;
    case dfRecipientFax: return values.RecipientFax;
    case dfSenderName: return values.SenderName;
    case dfSenderCompany: return values.SenderCompany;
    case dfSenderFax: return values.SenderFax;
    case dfSenderVoice: return values.SenderVoice;
    default: return itemText;
  }
}

std::string_view FlagMarkPrefix(int flag) {
  if (flag < 0 || flag >= kImportanceFlagCount) return {};
  // Each flag's box is the flag-th "[" of the line; the mark goes right after it.
  size_t at = 0;
  for (int i = 0; i <= flag; ++i) at = kFlagLineText.find('[', i == 0 ? 0 : at + 1);
  return kFlagLineText.substr(0, at + 1);
}

}  // namespace ql
