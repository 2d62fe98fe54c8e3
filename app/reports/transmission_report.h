#pragma once
// The transmission report: proof of a send on one PDF page, kept in the send folder
// beside the fax history. It names the date, the far machine's ID, the number, the
// pages, the duration, the rate and the result, and shows the first page reduced.

#include <filesystem>
#include <string>

#include "app/send_flow/send_fax_form.h"

namespace ql {

// The name that ties reports to an outgoing row: its body's file name without
// extension (its cover's when it has no body), upper case; empty when it has neither.
std::string ReportStem(const std::string& faxDoc, const std::string& faxCover);

// Writes the report of an outcome as "<stem>-TR-yyyymmdd-hhmmss.pdf" in folder; the
// first page is taken from the outcome's send file. Returns the file, or an empty path
// when it could not be written (the file is written whole or not at all).
std::filesystem::path WriteTransmissionReport(const TSendOutcome& outcome, const std::string& stem,
                                              const std::filesystem::path& folder);

// The newest report of a stem in folder, or an empty path.
std::filesystem::path LastTransmissionReport(const std::string& stem, const std::filesystem::path& folder);

// Removes every report of a stem in folder (errors are ignored). A fax whose files are
// deleted takes its reports along: the next fax may get the same file name, and must
// not be shown the old fax's proof of sending as its own.
void RemoveTransmissionReports(const std::string& stem, const std::filesystem::path& folder);

}  // namespace ql
