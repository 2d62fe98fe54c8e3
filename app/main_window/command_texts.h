#pragma once
// The questions the fax list commands ask before they change anything.

#include <QString>

namespace ql {

QString CloneQuestion(const QString& subject);
QString DeleteOutgoingQuestion(const QString& subject);
QString DeleteReceivedQuestion(const QString& from);
// Outgoing rows name their subject ("(no subject)" when empty), received rows their
// sender (nothing when empty).
QString ArchiveQuestion(bool archived, bool outgoing, const QString& name);
QString ForwardQuestion(const QString& from);

}  // namespace ql
