#include "table_engine/table_engine.h"

#include <algorithm>

#include "platform/text.h"
#include "table_engine/table_errors.h"

namespace ql::xb {

std::string TTableEngineEnv::Version() { return "2.40.00"; }

void TTableEngineEnv::SetDeleted(bool hide) {
  hideDeleted_ = hide;
  for (TTableEngine* t : open_) t->ApplySwitches();
}

void TTableEngineEnv::SetLockTimeout(int seconds) {
  lockTimeout_ = std::max(0, seconds);
  for (TTableEngine* t : open_) t->ApplySwitches();
}

void TTableEngineEnv::SetSysProp(int property, int value) {
  for (auto& [p, v] : sysProps_)
    if (p == property) {
      v = value;
      return;
    }
  sysProps_.emplace_back(property, value);
}

int TTableEngineEnv::SysProp(int property) const {
  for (const auto& [p, v] : sysProps_)
    if (p == property) return v;
  return 0;
}

int TTableEngineEnv::WorkArea(const std::string& alias) const {
  for (const TTableEngine* t : open_)
    if (EqualsIgnoreCase(t->Alias(), alias)) return t->WorkAreaNumber();
  return 0;
}

void TTableEngineEnv::Attach(TTableEngine* table) {
  table->workArea_ = nextWorkArea_++;
  table->alias_ = AliasFor(table->TableName(), *this);
  open_.push_back(table);
}

void TTableEngineEnv::Detach(TTableEngine* table) {
  open_.erase(std::remove(open_.begin(), open_.end(), table), open_.end());
  table->workArea_ = 0;
  table->alias_.clear();
}

TTableEngineEnv& Env() {
  static TTableEngineEnv env;
  return env;
}

std::string AliasFor(const std::filesystem::path& path, const TTableEngineEnv& env) {
  std::string base = ToUpperAscii(path.stem().string());
  for (char& c : base)
    if (c == '~' || c == '-' || c == ' ') c = '_';
  std::string alias = base;
  for (int n = 1; env.WorkArea(alias) != 0; ++n) alias = base + "_" + std::to_string(n);
  return alias;
}

TTableEngine::~TTableEngine() { Close(); }

void TTableEngine::ApplySwitches() {
  SetHideDeleted(env_.DeletedHidden());
  SetLockTimeoutSeconds(env_.LockTimeout());
}

int TTableEngine::Open(OpenMode mode) {
  Close();
  ApplySwitches();
  SetProgressHook([this](int percent) { env_.Report(percent); });
  const int rc = Table::Open(tableName_, mode);
  if (rc == xbOK) env_.Attach(this);
  return rc;
}

int TTableEngine::Close() {
  if (workArea_ != 0) env_.Detach(this);
  return Table::Close();
}

}  // namespace ql::xb
