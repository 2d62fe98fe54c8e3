#pragma once
// The table engine as the programs use it: one TTableEngineEnv per process holding the
// engine-wide switches (deleted rows hidden, lock time-out, the progress receiver), and
// one TTableEngine per open table - its own work area, named by an alias unique in the
// process. Every call acts on that table alone, so no call changes which table another
// call works on.
//
//   ql::xb::TTableEngineEnv& env = ql::xb::Env();
//   env.SetDeleted(true);
//   ql::xb::TTableEngine out;
//   out.SetTableName(folder / "QLOUT.DBF");
//   out.Open(ql::xb::OpenMode::Exclusive);
//   out.SetOrder(out.TagArea("DATESENT"));
//   for (out.GoTop(); !out.Eof(); out.Skip()) { ... out.GetString("SUBJECT", s) ... }

#include <filesystem>
#include <string>
#include <vector>

#include "table_engine/table.h"

namespace ql::xb {

class TTableEngine;

class TTableEngineEnv {
 public:
  // The engine's version text (never empty for this engine).
  static std::string Version();

  // Hides rows marked deleted from every table (on in the fax program).
  void SetDeleted(bool hide);
  bool DeletedHidden() const { return hideDeleted_; }
  // Seconds a lock request keeps trying before it fails with xbLocked.
  void SetLockTimeout(int seconds);
  int LockTimeout() const { return lockTimeout_; }
  // Receives progress (0..100) of pack and tag building; an empty function ends it.
  void SetGaugeHook(ProgressHook hook) { gauge_ = std::move(hook); }
  // Engine properties (kept for callers that set them; none changes behaviour here).
  void SetSysProp(int property, int value);
  int SysProp(int property) const;

  // The work area of an open table by alias (any case), 0 when none has it.
  int WorkArea(const std::string& alias) const;

 private:
  friend class TTableEngine;
  void Attach(TTableEngine* table);
  void Detach(TTableEngine* table);
  void Report(int percent) const {
    if (gauge_) gauge_(percent);
  }

  bool hideDeleted_ = false;
  int lockTimeout_ = 1;
  ProgressHook gauge_;
  std::vector<std::pair<int, int>> sysProps_;
  std::vector<TTableEngine*> open_;
  int nextWorkArea_ = 1;
};

// The process-wide environment.
TTableEngineEnv& Env();

// The key value a progress report has as a 16-bit key code: minus the percentage, so
// that one of bits 12 to 14 is set (0x7000) for every report.
inline unsigned short GaugeKeyForPercent(int percent) { return static_cast<unsigned short>(-percent); }

class TTableEngine : public Table {
 public:
  explicit TTableEngine(TTableEngineEnv& env = Env()) : env_(env) {}
  ~TTableEngine();

  void SetTableName(const std::filesystem::path& path) { tableName_ = path; }
  const std::filesystem::path& TableName() const { return tableName_; }
  std::filesystem::path IndexName() const { return IndexPathFor(tableName_); }

  // Creates the table file (no index); xbOK only when the file then exists.
  int CreateTable(const std::vector<FieldSpec>& fields) const { return Create(tableName_, fields); }
  // Closes the table if open, then opens it in the mode with the environment's switches.
  int Open(OpenMode mode);
  int Close();

  const std::string& Alias() const { return alias_; }
  int WorkAreaNumber() const { return workArea_; }

 private:
  friend class TTableEngineEnv;
  void ApplySwitches();

  TTableEngineEnv& env_;
  std::filesystem::path tableName_;
  std::string alias_;
  int workArea_ = 0;
};

// The alias of a table file: its name without extension, with "~", "-" and blanks made
// "_", upper case, suffixed "_1", "_2", ... while another open table has it.
std::string AliasFor(const std::filesystem::path& path, const TTableEngineEnv& env);

}  // namespace ql::xb
